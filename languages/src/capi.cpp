// The four exports over one process-wide catalogue guarded by a mutex.
#include "kestrel_languages.h"

#include "catalogue.h"
#include "language_file.h"
#include "store.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <mutex>
#include <optional>

namespace kestrel::languages {
namespace {

struct State {
    std::mutex mutex;
    std::optional<Catalogue> catalogue;
};

State& TheState() {
    static State state;
    return state;
}

std::string LibraryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&LibraryFolder), &info) != 0 && info.dli_fname != nullptr) {
        const std::string file = info.dli_fname;
        const size_t slash = file.rfind('/');
        if (slash != std::string::npos) {
            return slash == 0 ? "/" : file.substr(0, slash);
        }
    }
    return ".";
}

// Reads the language files on first use; the state's mutex is held.
Catalogue& Loaded(State& state) {
    if (!state.catalogue) {
        const std::string library = LibraryFolder();
        const std::string folders[] = {library + "/languages", library + "/../share/kestrelfind/languages"};
        std::vector<std::string> problems;
        state.catalogue.emplace();
        for (const auto& folder : folders) {
            if (Catalogue::HasLanguageFiles(folder)) {
                *state.catalogue = Catalogue::Load(folder, problems);
                break;
            }
        }
        if (state.catalogue->Empty()) {
            problems.push_back("no language files in " + folders[0] + " or " + folders[1] +
                               "; texts are shown in English");
        }
        for (const auto& problem : problems) {
            std::fprintf(stderr, "kestrelfind: %s\n", problem.c_str());
        }
        state.catalogue->Choose({}, MessagesLocale());
    }
    return *state.catalogue;
}

// Copies text into buffer (capacity size), cut at a character boundary, always terminated.
void CopyOut(const std::string& text, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) {
        return;
    }
    const size_t length = Utf8PrefixLength(text, size);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

} // namespace
} // namespace kestrel::languages

using namespace kestrel::languages;

extern "C" int32_t InitLanguages(uint32_t root, const char* keyPath) {
    try {
        State& state = TheState();
        const std::lock_guard lock(state.mutex);
        Catalogue& catalogue = Loaded(state);
        const auto file = StoreFileFor(root, keyPath == nullptr ? "" : keyPath);
        catalogue.Choose(file ? ReadStoredLanguage(*file) : std::string(), MessagesLocale());
        return file && !catalogue.Empty() ? KL_OK : KL_ERROR;
    } catch (...) {
        return KL_ERROR;
    }
}

extern "C" int32_t FreeLanguages(void) {
    try {
        State& state = TheState();
        const std::lock_guard lock(state.mutex);
        state.catalogue.reset();
        return KL_OK;
    } catch (...) {
        return KL_ERROR;
    }
}

extern "C" int32_t LoadLanguages(char* list, size_t* listSize, char* code, size_t* codeSize) {
    if (listSize == nullptr || codeSize == nullptr) {
        return KL_ERROR;
    }
    try {
        State& state = TheState();
        const std::lock_guard lock(state.mutex);
        const Catalogue& catalogue = Loaded(state);
        const std::string listText = catalogue.ListText();
        CopyOut(listText, list, *listSize);
        CopyOut(catalogue.CurrentCode(), code, *codeSize);
        const bool fits = listText.size() < *listSize && catalogue.CurrentCode().size() < *codeSize;
        *listSize = listText.size() + 1;
        *codeSize = catalogue.CurrentCode().size() + 1;
        return fits ? KL_OK : KL_TRUNCATED;
    } catch (...) {
        return KL_ERROR;
    }
}

extern "C" int32_t GetLanguageById(char* text, size_t size, const char* id, const char* arg1,
                                   const char* arg2, const char* arg3) {
    try {
        CopyOut(std::string(), text, size);
        if (id == nullptr) {
            return KL_ERROR;
        }
        std::string result;
        {
            State& state = TheState();
            const std::lock_guard lock(state.mutex);
            const std::string* found = Loaded(state).Find(id);
            if (found == nullptr) {
                return KL_ERROR;
            }
            result = Substitute(*found, arg1 == nullptr ? "" : arg1, arg2 == nullptr ? "" : arg2,
                                arg3 == nullptr ? "" : arg3);
        }
        CopyOut(result, text, size);
        return result.size() > INT32_MAX - 1 ? INT32_MAX - 1 : static_cast<int32_t>(result.size());
    } catch (...) {
        return KL_ERROR;
    }
}
