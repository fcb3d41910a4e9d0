// The C exports over one Engine per process. No exception leaves an export.
#include "kestrelfind.h"

#include "cache.h"
#include "engine.h"
#include "roots.h"
#include "text.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <string>

using kestrel::engine::Engine;

namespace {

std::mutex g_mutex;
std::shared_ptr<Engine> g_engine;

std::shared_ptr<Engine> current() {
    std::lock_guard lock(g_mutex);
    return g_engine;
}

} // namespace

extern "C" {

int32_t Kestrelfind(void* context, int32_t useSavedIndex, int32_t saveIndex, int32_t reserved,
                    KfIndexProgressCallback progress) {
    (void)reserved;
    try {
        std::shared_ptr<Engine> engine;
        {
            std::lock_guard lock(g_mutex);
            if (!g_engine) {
                auto roots = kestrel::engine::configuredRoots();
                auto file = kestrel::engine::cacheFileFor(roots);
                g_engine = std::make_shared<Engine>(std::move(roots), std::move(file));
            }
            engine = g_engine;
        }
        if (engine->snapshot())
            return KF_OK;
        if (progress)
            progress(context, 0);
        bool ok = engine->start(useSavedIndex != 0, saveIndex != 0);
        if (progress)
            progress(context, 100);
        return ok ? KF_OK : KF_ERROR;
    } catch (...) {
        return KF_ERROR;
    }
}

int32_t StartFileListensThread(void* context, KfFileChangeCallback callback) {
    try {
        auto engine = current();
        if (!engine)
            return KF_ERROR;
        engine->startListener(callback, context);
        return KF_OK;
    } catch (...) {
        return KF_ERROR;
    }
}

int32_t FindItemFile(void* context, const char16_t* pattern, int32_t scope, int32_t ranked,
                     int32_t maxResults, int32_t reserved, KfResultCallback callback) {
    (void)reserved;
    try {
        auto engine = current();
        if (!engine || !pattern)
            return 0;
        return engine->find(std::u16string_view(pattern), scope, ranked != 0,
                            maxResults > 0 ? static_cast<uint32_t>(maxResults) : 0, callback, context);
    } catch (...) {
        return KF_ERROR;
    }
}

int32_t StopFindThread(void* context) {
    (void)context;
    try {
        if (auto engine = current())
            engine->stopFind();
        return KF_OK;
    } catch (...) {
        return KF_ERROR;
    }
}

int32_t StopFileListensThread(void* context) {
    (void)context;
    try {
        if (auto engine = current())
            engine->stopListener();
        return KF_OK;
    } catch (...) {
        return KF_ERROR;
    }
}

int32_t StopKestrelfind(void* context) {
    (void)context;
    try {
        std::shared_ptr<Engine> engine;
        {
            std::lock_guard lock(g_mutex);
            engine.swap(g_engine);
        }
        // The engine, its records and threads go when the last running call lets go of it.
        engine.reset();
        return KF_OK;
    } catch (...) {
        return KF_ERROR;
    }
}

size_t KfTextToBytes(const char16_t* text, char* buffer, size_t size) {
    try {
        if (!text)
            return 0;
        std::string bytes = kestrel::engine::bytesOfUtf16(std::u16string_view(text));
        if (buffer && size > 0) {
            size_t n = std::min(bytes.size(), size - 1);
            std::memcpy(buffer, bytes.data(), n);
            buffer[n] = '\0';
        }
        return bytes.size();
    } catch (...) {
        return 0;
    }
}

} // extern "C"
