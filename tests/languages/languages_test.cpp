// The shipped language files and the four exports of liblanguages.so, loaded from a private copy
// with language files written for each test.
#include "catalogue.h"
#include "default_texts.h"
#include "kestrel_languages.h"
#include "language_file.h"
#include "test_folder.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <set>

namespace kestrel::languages {
namespace {

using kestrel::testing::ReadFile;
using kestrel::testing::ScopedEnv;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

std::set<std::string> Places(const std::string& text) {
    std::set<std::string> places;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '3') {
            places.insert(text.substr(i, 2));
        }
    }
    return places;
}

TEST(ShippedLanguages, EveryTextIdIsTranslatedInBothLanguages) {
    const auto en = ParseLanguageFile(ReadFile(KESTREL_LANGUAGE_FILES "/en.lang"), "en.lang");
    const auto zh = ParseLanguageFile(ReadFile(KESTREL_LANGUAGE_FILES "/zh-CN.lang"), "zh-CN.lang");
    ASSERT_TRUE(en.problems.empty()) << en.problems.front();
    ASSERT_TRUE(zh.problems.empty()) << zh.problems.front();
    EXPECT_EQ(en.name, "English");
    EXPECT_FALSE(zh.name.empty());

    const auto ids = config::DefaultTexts();
    EXPECT_EQ(ids.size(), 77u);
    for (const auto& entry : ids) {
        const std::string id(entry.id);
        ASSERT_TRUE(en.texts.contains(id)) << id;
        ASSERT_TRUE(zh.texts.contains(id)) << id;
        EXPECT_FALSE(en.texts.at(id).empty()) << id;
        EXPECT_FALSE(zh.texts.at(id).empty()) << id;
        // Without the library the program shows its own English texts: they must be the same.
        EXPECT_EQ(en.texts.at(id), entry.text) << id;
        // A translation uses every argument the English text uses, and no other.
        EXPECT_EQ(Places(zh.texts.at(id)), Places(en.texts.at(id))) << id;
    }
    // No text id that the program does not use (a mistyped id would never be shown).
    EXPECT_EQ(en.texts.size(), ids.size());
    EXPECT_EQ(zh.texts.size(), ids.size());
    // The texts that receive arguments have places for them.
    EXPECT_EQ(Places(en.texts.at("3702008")), std::set<std::string>{"%1"});
    EXPECT_EQ(Places(en.texts.at("3703002")), std::set<std::string>{"%1"});
    EXPECT_EQ(Places(en.texts.at("3705010")), std::set<std::string>{"%1"});
    EXPECT_EQ(Places(en.texts.at("3706002")), (std::set<std::string>{"%1", "%2"}));
}

// The four exports of one loaded copy of the library.
struct Library {
    explicit Library(const std::string& file) {
        handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(handle, nullptr) << dlerror();
        if (handle != nullptr) {
            init = reinterpret_cast<decltype(init)>(dlsym(handle, "InitLanguages"));
            free = reinterpret_cast<decltype(free)>(dlsym(handle, "FreeLanguages"));
            load = reinterpret_cast<decltype(load)>(dlsym(handle, "LoadLanguages"));
            get = reinterpret_cast<decltype(get)>(dlsym(handle, "GetLanguageById"));
        }
    }
    ~Library() {
        if (handle != nullptr) {
            dlclose(handle);
        }
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    std::string Text(const char* id, const char* a1 = "", const char* a2 = "", const char* a3 = "") {
        char buffer[1024];
        const int32_t length = get(buffer, sizeof buffer, id, a1, a2, a3);
        return length < 0 ? "<unknown>" : std::string(buffer);
    }
    std::pair<std::string, std::string> Languages() {
        char list[1024];
        char code[64];
        size_t listSize = sizeof list;
        size_t codeSize = sizeof code;
        EXPECT_EQ(load(list, &listSize, code, &codeSize), KL_OK);
        return {list, code};
    }

    void* handle = nullptr;
    decltype(&InitLanguages) init = nullptr;
    decltype(&FreeLanguages) free = nullptr;
    decltype(&LoadLanguages) load = nullptr;
    decltype(&GetLanguageById) get = nullptr;
};

constexpr char kKey[] = "\\Software\\Brindleco\\Kestrelfind";

class LanguageLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(m_folder / "lib/languages/en.lang",
                  "name=English\n3702001=All\n3702008=Found: %1\n3703001=Path\n");
        WriteFile(m_folder / "lib/languages/zh-CN.lang", "name=简体中文\n3702001=全部\n3702008=共 %1 个\n");
        m_library = kestrel::testing::CopyLanguageLibrary(m_folder / "lib");
    }
    void StoreLanguage(const std::string& iniText) {
        WriteFile(m_folder / "config/Brindleco/Kestrelfind.conf", iniText);
    }

    TempFolder m_folder;
    std::string m_library;
    ScopedEnv m_config{"XDG_CONFIG_HOME", m_folder / "config"};
    ScopedEnv m_all{"LC_ALL", std::nullopt};
    ScopedEnv m_messages{"LC_MESSAGES", std::nullopt};
    ScopedEnv m_lang{"LANG", "en_GB.UTF-8"};
};

TEST_F(LanguageLibrary, AnswersInTheStoredLanguage) {
    StoreLanguage("[General]\nLanguage=zh-CN\n\n[SettingOptions]\nLanguage=en\n");
    Library library(m_library);
    ASSERT_NE(library.handle, nullptr);
    EXPECT_EQ(library.init(KL_HKEY_CURRENT_USER, kKey), KL_OK);
    EXPECT_EQ(library.Languages(),
              std::make_pair(std::string("en=English\nzh-CN=简体中文"), std::string("zh-CN")));
    EXPECT_EQ(library.Text("3702001"), "全部");
    EXPECT_EQ(library.Text("3702008", "12"), "共 12 个");
    // Missing in Chinese: answered in English.
    EXPECT_EQ(library.Text("3703001"), "Path");
    EXPECT_EQ(library.Text("3799999"), "<unknown>");

    StoreLanguage("[General]\nLanguage=\"en\"\n");
    EXPECT_EQ(library.init(KL_HKEY_CURRENT_USER, kKey), KL_OK);
    EXPECT_EQ(library.Languages().second, "en");
    EXPECT_EQ(library.Text("3702008", "12"), "Found: 12");
}

TEST_F(LanguageLibrary, WithoutAStoredLanguageTheLocaleChooses) {
    struct Case {
        std::optional<std::string> all, messages, lang;
        std::string code;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, "zh_CN.UTF-8", "zh-CN"},
        {std::nullopt, std::nullopt, "zh_TW.UTF-8", "zh-CN"},
        {std::nullopt, std::nullopt, "de_DE.UTF-8", "en"},
        {std::nullopt, std::nullopt, std::nullopt, "en"},
        {"C", std::nullopt, "zh_CN.UTF-8", "en"},
        {std::nullopt, "zh_CN", "en_US", "zh-CN"},
        {"", "", "zh_SG", "zh-CN"},
    };
    for (const auto& c : cases) {
        const ScopedEnv all("LC_ALL", c.all);
        const ScopedEnv messages("LC_MESSAGES", c.messages);
        const ScopedEnv lang("LANG", c.lang);
        Library library(m_library);
        ASSERT_NE(library.handle, nullptr);
        library.init(KL_HKEY_CURRENT_USER, kKey);
        EXPECT_EQ(library.Languages().second, c.code) << c.lang.value_or("(unset)");
    }
    // A stored language that is not installed counts as none.
    StoreLanguage("[General]\nLanguage=fr\n");
    const ScopedEnv lang("LANG", "zh_CN.UTF-8");
    Library library(m_library);
    ASSERT_NE(library.handle, nullptr);
    library.init(KL_HKEY_CURRENT_USER, kKey);
    EXPECT_EQ(library.Languages().second, "zh-CN");
}

TEST_F(LanguageLibrary, BuffersThatAreTooSmallGetWholeCharactersAndTheSizeNeeded) {
    StoreLanguage("[General]\nLanguage=zh-CN\n");
    Library library(m_library);
    ASSERT_NE(library.handle, nullptr);
    library.init(KL_HKEY_CURRENT_USER, kKey);
    const std::string full = "共 123 个";
    char text[6];
    char cut[3];
    EXPECT_EQ(library.get(cut, sizeof cut, "3702008", "123", nullptr, nullptr),
              static_cast<int32_t>(full.size()));
    EXPECT_EQ(std::string(cut), ""); // 2 bytes would fit, but not the whole first character
    EXPECT_EQ(library.get(text, sizeof text, "3702008", "123", nullptr, nullptr),
              static_cast<int32_t>(full.size()));
    EXPECT_EQ(std::string(text), "共 1"); // the 5 bytes that fit
    EXPECT_EQ(library.get(nullptr, 0, "3702008", "123", nullptr, nullptr), static_cast<int32_t>(full.size()));
    EXPECT_EQ(library.get(text, sizeof text, nullptr, nullptr, nullptr, nullptr), KL_ERROR);

    char list[8];
    char code[2];
    size_t listSize = sizeof list;
    size_t codeSize = sizeof code;
    EXPECT_EQ(library.load(list, &listSize, code, &codeSize), KL_TRUNCATED);
    EXPECT_EQ(std::string(list), "en=Engl");
    EXPECT_EQ(std::string(code), "z");
    EXPECT_EQ(listSize, std::string("en=English\nzh-CN=简体中文").size() + 1);
    EXPECT_EQ(codeSize, 6u);
    EXPECT_EQ(library.load(list, nullptr, code, &codeSize), KL_ERROR);
}

TEST_F(LanguageLibrary, ABrokenFileIsReportedAndItsGoodLinesStillServe) {
    WriteFile(m_folder / "lib/languages/zh-CN.lang",
              "name=简体中文\n3702001=全部\nnonsense\n3702008=bad \xFF\n3703001=路径\n");
    WriteFile(m_folder / "lib/languages/fr.lang", std::string("3702001=Tout\n"));
    WriteFile(m_folder / "lib/languages/bad code!.lang", "3702001=x\n");
    StoreLanguage("[General]\nLanguage=zh-CN\n");
    kestrel::testing::StderrCapture errors;
    {
        Library library(m_library);
        ASSERT_NE(library.handle, nullptr);
        library.init(KL_HKEY_CURRENT_USER, kKey);
        EXPECT_EQ(library.Text("3702001"), "全部");
        EXPECT_EQ(library.Text("3703001"), "路径");
        EXPECT_EQ(library.Text("3702008", "3"), "Found: 3");
        // A file without a name is listed under its code.
        EXPECT_EQ(library.Languages().first, "en=English\nfr=fr\nzh-CN=简体中文");
    }
    const std::string messages = errors.Text();
    EXPECT_NE(messages.find("zh-CN.lang:3: no \"=\""), std::string::npos) << messages;
    EXPECT_NE(messages.find("zh-CN.lang:4: not UTF-8"), std::string::npos) << messages;
    EXPECT_NE(messages.find("bad code!.lang: \"bad code!\" is not a language code"), std::string::npos)
        << messages;
    EXPECT_NE(messages.find("fr.lang: missing 2 of the English texts"), std::string::npos) << messages;
}

TEST_F(LanguageLibrary, WithoutLanguageFilesEveryIdIsUnknown) {
    std::filesystem::remove_all(m_folder / "lib/languages");
    kestrel::testing::StderrCapture errors;
    Library library(m_library);
    ASSERT_NE(library.handle, nullptr);
    EXPECT_EQ(library.init(KL_HKEY_CURRENT_USER, kKey), KL_ERROR);
    EXPECT_EQ(library.Text("3702001"), "<unknown>");
    EXPECT_EQ(library.Languages(), std::make_pair(std::string(), std::string()));
    EXPECT_NE(errors.Text().find("no language files"), std::string::npos);
}

TEST_F(LanguageLibrary, InstalledTheFilesAreFoundInTheDataFolder) {
    // prefix/lib/liblanguages.so reads prefix/share/kestrelfind/languages.
    const std::string library = kestrel::testing::CopyLanguageLibrary(m_folder / "prefix/lib");
    WriteFile(m_folder / "prefix/share/kestrelfind/languages/en.lang", "name=English\n3702001=Installed\n");
    Library installed(library);
    ASSERT_NE(installed.handle, nullptr);
    EXPECT_EQ(installed.init(KL_HKEY_CURRENT_USER, kKey), KL_OK);
    EXPECT_EQ(installed.Text("3702001"), "Installed");
    // Files next to the library come first.
    WriteFile(m_folder / "prefix/lib/languages/en.lang", "name=English\n3702001=Beside\n");
    EXPECT_EQ(installed.free(), KL_OK);
    EXPECT_EQ(installed.Text("3702001"), "Beside");
}

TEST_F(LanguageLibrary, FreeLanguagesReadsTheFilesAgainOnNextUse) {
    Library library(m_library);
    ASSERT_NE(library.handle, nullptr);
    library.init(KL_HKEY_CURRENT_USER, kKey);
    EXPECT_EQ(library.Text("3702001"), "All");
    WriteFile(m_folder / "lib/languages/en.lang", "name=English\n3702001=Everything\n");
    EXPECT_EQ(library.Text("3702001"), "All");
    EXPECT_EQ(library.free(), KL_OK);
    EXPECT_EQ(library.Text("3702001"), "Everything");
}

} // namespace
} // namespace kestrel::languages
