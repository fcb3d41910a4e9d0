#include "language_file.h"
#include "store.h"
#include "test_folder.h"

#include <gtest/gtest.h>

namespace kestrel::languages {
namespace {

TEST(ParseLanguageFile, KeepsTextsAsWrittenAndResolvesEscapes) {
    const LanguageFile file = ParseLanguageFile("\xEF\xBB\xBF# comment\r\n"
                                                "name=Deutsch\r\n"
                                                "\n"
                                                "   \t\n"
                                                "  3700001 =Haupt=Fenster\r\n"
                                                "3703027= existiert bereits.\n"
                                                "3706002=Zeile 1\\nZeile 2 \\\\n\n"
                                                "3702001=",
                                                "de.lang");
    EXPECT_TRUE(file.problems.empty()) << file.problems.front();
    EXPECT_EQ(file.name, "Deutsch");
    ASSERT_EQ(file.texts.size(), 4u);
    EXPECT_EQ(file.texts.at("3700001"), "Haupt=Fenster");
    EXPECT_EQ(file.texts.at("3703027"), " existiert bereits.");
    EXPECT_EQ(file.texts.at("3706002"), "Zeile 1\nZeile 2 \\n");
    EXPECT_EQ(file.texts.at("3702001"), "");
}

TEST(ParseLanguageFile, SkipsBadLinesWithTheirLineNumberAndKeepsTheRest) {
    struct Case {
        std::string line;
        std::string message; // a part of the problem reported for line 2
    };
    const Case cases[] = {
        {"no equals sign here", "no \"=\""},
        {"370001=six digits", "not a seven-digit text id"},
        {"37000012=eight digits", "not a seven-digit text id"},
        {"=no key", "not a seven-digit text id"},
        {"3700001=again", "appears again"},
        {"3702005=bad \xC3\x28 byte", "not UTF-8"},
        {"3702005=overlong \xC0\xAF slash", "not UTF-8"},
        {"3702005=surrogate \xED\xA0\x80", "not UTF-8"},
        {"3702005=cut \xE5\x88", "not UTF-8"},
        {"name=", "empty or multi-line name"},
    };
    for (const auto& c : cases) {
        const LanguageFile file = ParseLanguageFile("3700001=first\n" + c.line + "\n3702001=All\n", "x.lang");
        ASSERT_EQ(file.problems.size(), 1u) << c.line;
        EXPECT_NE(file.problems[0].find("x.lang:2: "), std::string::npos) << file.problems[0];
        EXPECT_NE(file.problems[0].find(c.message), std::string::npos) << file.problems[0];
        EXPECT_EQ(file.texts.at("3700001"), "first") << c.line;
        EXPECT_EQ(file.texts.at("3702001"), "All") << c.line;
        EXPECT_FALSE(file.texts.contains("3702005")) << c.line;
    }
}

TEST(IsValidUtf8, AcceptsEveryPlaneAndRejectsMalformedSequences) {
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80")); // é 中 😀
    EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));                     // U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));                    // above U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));                        // overlong
    EXPECT_FALSE(IsValidUtf8("\x80"));
    EXPECT_FALSE(IsValidUtf8("\xFF"));
}

TEST(Substitute, ReplacesThePlacesInOnePass) {
    EXPECT_EQ(Substitute("%1|%2|%3|%%|%4|%", "a", "b", "c"), "a|b|c|%|%4|%");
    EXPECT_EQ(Substitute("%2 before %1", "one", "two", ""), "two before one");
    // An argument's own "%2" is text, not a place.
    EXPECT_EQ(Substitute("'%1' and %2", "50%2", "x", ""), "'50%2' and x");
    EXPECT_EQ(Substitute("%1%1", "ab", "", ""), "abab");
    EXPECT_EQ(Substitute("%%1", "no", "", ""), "%1");
}

TEST(Utf8PrefixLength, NeverCutsACharacter) {
    const std::string text = "a\xE4\xB8\xAD\xF0\x9F\x98\x80z"; // a 中 😀 z: 1 + 3 + 4 + 1 bytes
    for (size_t size = 0; size <= text.size() + 2; ++size) {
        const size_t length = Utf8PrefixLength(text, size);
        EXPECT_LE(length + (size > 0 ? 1 : 0), std::max<size_t>(size, 1)) << size;
        EXPECT_TRUE(IsValidUtf8(text.substr(0, length))) << size;
        if (size > text.size()) {
            EXPECT_EQ(length, text.size());
        }
    }
    EXPECT_EQ(Utf8PrefixLength(text, 4), 1u); // room for 3 bytes, but 中 needs them all after "a"
    EXPECT_EQ(Utf8PrefixLength(text, 5), 4u);
}

TEST(StoreFileFor, MapsTheProgramKeyToItsIniFile) {
    const kestrel::testing::ScopedEnv config("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(StoreFileFor(kHkeyCurrentUser, "\\Software\\Brindleco\\Kestrelfind"),
              "/cfg/Brindleco/Kestrelfind.conf");
    EXPECT_EQ(StoreFileFor(kHkeyCurrentUser, "Software/Brindleco/Kestrelfind/"),
              "/cfg/Brindleco/Kestrelfind.conf");
    EXPECT_EQ(StoreFileFor(kHkeyCurrentUser, "\\Brindleco\\Kestrelfind"), "/cfg/Brindleco/Kestrelfind.conf");
    EXPECT_EQ(StoreFileFor(kHkeyCurrentUser, "\\Software\\Kestrelfind"), std::nullopt);
    EXPECT_EQ(StoreFileFor(kHkeyCurrentUser, "\\Software\\..\\Kestrelfind"), std::nullopt);
    EXPECT_EQ(StoreFileFor(0x80000002u, "\\Software\\Brindleco\\Kestrelfind"), std::nullopt);
    const kestrel::testing::ScopedEnv relative("XDG_CONFIG_HOME", "relative/cfg");
    const kestrel::testing::ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(ConfigHome(), "/home/someone/.config");
}

TEST(IsChineseLocale, OnlyLocalesBeginningWithZh) {
    for (const char* locale : {"zh_CN.UTF-8", "zh_TW", "zh", "ZH_cn"}) {
        EXPECT_TRUE(IsChineseLocale(locale)) << locale;
    }
    for (const char* locale : {"", "C", "POSIX", "en_US.UTF-8", "z", "de_DE", "C.UTF-8"}) {
        EXPECT_FALSE(IsChineseLocale(locale)) << locale;
    }
}

} // namespace
} // namespace kestrel::languages
