#include "dialogs_test_support.h"

#include "UnitLanguageRegConfig.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sys/stat.h>

namespace kestrel::test {

namespace {

std::string g_base;
std::unique_ptr<config::TLanguage> g_language;

void RemoveBase() {
    std::error_code ec;
    if (!g_base.empty())
        std::filesystem::remove_all(g_base, ec);
}

} // namespace

const std::string& TestBase() {
    return g_base;
}

void PrepareDialogTestEnvironment() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] ? tmp : "/tmp") + "/kestrel-dialogs-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        std::abort();
    g_base = pattern;
    std::atexit(RemoveBase);
    for (const char* folder : {"/config", "/runtime"})
        std::filesystem::create_directories(g_base + folder);
    ::chmod((g_base + "/runtime").c_str(), 0700);
    ::setenv("XDG_CONFIG_HOME", (g_base + "/config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (g_base + "/runtime").c_str(), 1);
    ::setenv("LANG", "en_US.UTF-8", 1);
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    // Only the local test server is ever asked; no proxy may stand between.
    for (const char* proxy :
         {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        ::unsetenv(proxy);
}

config::TLanguage& Language() {
    if (!g_language) {
        g_language = std::make_unique<config::TLanguage>(config::kHkeyCurrentUser,
                                                         QString::fromLatin1(config::kLanguageLibrary),
                                                         QString::fromLatin1(config::kProgramKeyPath));
    }
    return *g_language;
}

UrlRecorder::UrlRecorder() {
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open");
}

UrlRecorder::~UrlRecorder() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

void UrlRecorder::open(const QUrl& url) {
    opened.push_back(url);
}

} // namespace kestrel::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (ctest's discovery) needs no display.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    kestrel::test::PrepareDialogTestEnvironment();
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
