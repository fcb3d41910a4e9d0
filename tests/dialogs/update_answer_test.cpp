// The update check's rules: the version comparison, reading the answer, the offer decision and the
// request address.
#include "update_answer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

namespace kestrel::dialogs {
namespace {

struct VersionCase {
    const char* current;
    const char* next;
    bool newer;
};

TEST(IsNewerVersion, ComparesFourNumbersFromTheFirstOn) {
    const VersionCase cases[] = {
        {"1.2.3.4", "1.2.3.10", true}, // numbers, not texts
        {"1.2.3.10", "1.2.3.4", false},    {"1.3.0.0", "1.2.9.9", false}, {"1.2.9.9", "1.3.0.0", true},
        {"1.0.0.1", "1.0.0.1", false},     {"1.0.0.1", "2.0.0.0", true},  {"2.0.0.0", "1.9.9.9", false},
        {"1.0.0.1", "1.0.1.0", true},      {"1.0.0.1", "1.1.0.0", true},  {"1.0.0.9", "1.0.0.10", true},
        {"01.02.03.04", "1.2.3.4", false}, // leading zeros are the same number
        {"-1.0.0.0", "0.0.0.0", true},     // a sign is part of a decimal integer
    };
    for (const VersionCase& c : cases) {
        EXPECT_EQ(IsNewerVersion(QString::fromLatin1(c.current), QString::fromLatin1(c.next)), c.newer)
            << c.current << " -> " << c.next;
    }
}

TEST(IsNewerVersion, AShortTextRepeatsItsLastPart) {
    // "2.5" reads 2, 5, 5, 5 and "7" reads 7, 7, 7, 7.
    EXPECT_FALSE(IsNewerVersion("2.5.5.5", "2.5"));
    EXPECT_FALSE(IsNewerVersion("2.5", "2.5.5.5"));
    EXPECT_TRUE(IsNewerVersion("2.5.5.4", "2.5"));
    EXPECT_FALSE(IsNewerVersion("2.5.5.6", "2.5"));
    EXPECT_FALSE(IsNewerVersion("7.7.7.7", "7"));
    EXPECT_TRUE(IsNewerVersion("7.7.7.6", "7"));
    // "1.2.3" reads 1, 2, 3, 3.
    EXPECT_TRUE(IsNewerVersion("1.2.3.2", "1.2.3"));
    EXPECT_FALSE(IsNewerVersion("1.2.3.3", "1.2.3"));
}

TEST(IsNewerVersion, AnythingButDecimalIntegersCountsAsNewer) {
    const VersionCase cases[] = {
        {"1.0.0.1", "abc", true},                        // letters only
        {"1.0.0.1", "1.0.0.x", true},                    // one part
        {"9.9.9.9", "1.0.0.0-beta", true},               // the fourth part is the whole rest
        {"9.9.9.9", "1.2.3.4.5", true},                  // a fourth dot stays in the fourth part
        {"9.9.9.9", "1..3.4", true},                     // an empty part
        {"9.9.9.9", "1.2.3.", true},                     // an empty fourth part
        {"", "1.0.0.0", true},                           // a program without a version
        {"abc", "0.0.0.0", true},                        // the current text counts too
        {"9.9.9.9", "1.0.0. 1", true},                   // a blank inside
        {"9.9.9.9", "1.0.0.99999999999999999999", true}, // beyond 64 bits
        {"9.9.9.9", "+", true},
    };
    for (const VersionCase& c : cases) {
        EXPECT_EQ(IsNewerVersion(QString::fromLatin1(c.current), QString::fromLatin1(c.next)), c.newer)
            << c.current << " -> " << c.next;
    }
}

TEST(ShouldOfferUpdate, OffersOnlyANewerDifferentVersionWithAWebAddress) {
    const QString url = QStringLiteral("https://brindleco.example/download/");
    EXPECT_TRUE(ShouldOfferUpdate("1.0.0.1", {"9.9.9.9", url}));
    EXPECT_TRUE(ShouldOfferUpdate("1.0.0.1", {"ABC", url})); // letters: newer, and shown as they are
    EXPECT_FALSE(ShouldOfferUpdate("1.0.0.1", {"", url}));
    EXPECT_FALSE(ShouldOfferUpdate("1.0.0.1", {"1.0.0.1", url}));
    EXPECT_FALSE(ShouldOfferUpdate("1.0.0.1", {"0.9.0.0", url}));
    // Equal but for letter case: nothing, although letters alone would count as newer.
    EXPECT_FALSE(ShouldOfferUpdate("1.0.0.1-Beta", {"1.0.0.1-BETA", url}));
    EXPECT_TRUE(ShouldOfferUpdate("1.0.0.1-Beta", {"1.0.0.1-Gamma", url}));
    // Without an address the offer's OK could open nothing.
    EXPECT_FALSE(ShouldOfferUpdate("1.0.0.1", {"9.9.9.9", ""}));
    EXPECT_FALSE(ShouldOfferUpdate("1.0.0.1", {"9.9.9.9", "file:///etc/passwd"}));
}

TEST(IsUsableDownloadUrl, TakesOnlyWebAddresses) {
    EXPECT_TRUE(IsUsableDownloadUrl("https://brindleco.example/kestrel-find/"));
    EXPECT_TRUE(IsUsableDownloadUrl("HTTP://127.0.0.1:8080/x?y=1"));
    EXPECT_FALSE(IsUsableDownloadUrl(""));
    EXPECT_FALSE(IsUsableDownloadUrl("brindleco.example/download"));
    EXPECT_FALSE(IsUsableDownloadUrl("file:///usr/bin/xterm"));
    EXPECT_FALSE(IsUsableDownloadUrl("javascript:alert(1)"));
    EXPECT_FALSE(IsUsableDownloadUrl("https://"));
}

TEST(ReadUpdateAnswer, ReadsBothEntriesOfTheVersionSection) {
    const TUpdateAnswer a =
        ReadUpdateAnswer("[Version]\nVersion= 2.0.0.7 \nUpdateUrl=https://x.example/dl\n");
    EXPECT_EQ(a.Version, "2.0.0.7");
    EXPECT_EQ(a.UpdateUrl, "https://x.example/dl");
}

TEST(ReadUpdateAnswer, CrlfCrAndAByteOrderMarkReadTheSame) {
    for (const char* text : {"\xEF\xBB\xBF[Version]\r\nVersion=3.1.0.0\r\nUpdateUrl=https://x.example/\r\n",
                             "[Version]\rVersion=3.1.0.0\rUpdateUrl=https://x.example/\r",
                             "\xEF\xBB\xBF[Version]\nVersion=3.1.0.0\nUpdateUrl=https://x.example/"}) {
        const TUpdateAnswer a = ReadUpdateAnswer(QByteArray(text));
        EXPECT_EQ(a.Version, "3.1.0.0") << text;
        EXPECT_EQ(a.UpdateUrl, "https://x.example/") << text;
    }
}

TEST(ReadUpdateAnswer, SectionsAndKeysIgnoreCaseAndOtherSectionsDoNotCount) {
    const TUpdateAnswer a = ReadUpdateAnswer("[Other]\nVersion=0.0.0.1\nUpdateUrl=https://other.example/\n"
                                             "; a comment\n[ version ]\nVERSION=4.0.0.0\nupdateurl = "
                                             "\"https://x.example/q\"\nVersion=5.0.0.0\n");
    EXPECT_EQ(a.Version, "4.0.0.0"); // the first occurrence wins
    EXPECT_EQ(a.UpdateUrl, "https://x.example/q");
}

TEST(ReadUpdateAnswer, MissingEntriesAreEmpty) {
    EXPECT_EQ(ReadUpdateAnswer("[Version]\nUpdateUrl=https://x.example/\n").Version, "");
    EXPECT_EQ(ReadUpdateAnswer("[Version]\nVersion=1.2.3.4\n").UpdateUrl, "");
    EXPECT_EQ(ReadUpdateAnswer("Version=1.2.3.4\n").Version, ""); // outside any section
    EXPECT_EQ(ReadUpdateAnswer("").Version, "");
}

TEST(ReadUpdateAnswer, BrokenAnswersGiveNothingAndNeverFail) {
    const QByteArray broken[] = {
        "<html><body><h1>404 Not Found</h1></body></html>",
        QByteArray("\x00\x01\xff\xfe[Version\x00]\nVersion=1", 17),
        "[Version\nVersion=9.9.9.9\n", // the section header never closes
        "\xff\xfe[\x00V\x00",          // UTF-16 is not read
        QByteArray(5000, '\xff'),
    };
    for (const QByteArray& answer : broken) {
        const TUpdateAnswer a = ReadUpdateAnswer(answer);
        EXPECT_EQ(a.Version, "") << answer.toHex().left(40).constData();
        EXPECT_FALSE(ShouldOfferUpdate("1.0.0.1", a));
    }
    // Junk bytes on other lines do not spoil the entries.
    const TUpdateAnswer a = ReadUpdateAnswer("\xff\xff\n[Version]\nVersion=6.0.0.0\n\xc3\x28=\n"
                                             "UpdateUrl=https://x.example/\n");
    EXPECT_EQ(a.Version, "6.0.0.0");
    EXPECT_EQ(a.UpdateUrl, "https://x.example/");
}

TEST(ReadUpdateAnswer, WhatLiesBeyondTheKeptBytesIsLost) {
    // What the check keeps of a long answer: the first kAnswerLimit bytes. The cut falls 18 bytes
    // into the address line, right after "UpdateUrl=https://".
    QByteArray answer = "[Version]\nVersion=7.0.0.0\n";
    answer += QByteArray(kAnswerLimit - answer.size() - 1 - 18, ';') + "\n";
    answer += "UpdateUrl=https://x.example/long\n[Version]\nVersion=8.0.0.0\n";
    ASSERT_GT(answer.size(), kAnswerLimit);
    const TUpdateAnswer kept = ReadUpdateAnswer(answer.left(kAnswerLimit));
    EXPECT_EQ(kept.Version, "7.0.0.0");
    EXPECT_EQ(kept.UpdateUrl, "https://");
    EXPECT_FALSE(ShouldOfferUpdate("1.0.0.1", kept));
    EXPECT_EQ(ReadUpdateAnswer(answer).UpdateUrl, "https://x.example/long");
}

// Many generated answers: junk lines (any bytes but brackets, "=" and line ends) around a [Version]
// section, with every kind of line end, blanks, an optional byte-order mark and junk after the keys.
// The entries always come out whole; pure random bytes never offer anything.
TEST(ReadUpdateAnswer, GeneratedAnswersWithJunkAroundTheSection) {
    std::mt19937 random(20261208);
    auto junkLine = [&] {
        QByteArray line;
        const int length = std::uniform_int_distribution<int>(0, 60)(random);
        while (line.size() < length) {
            const char c = char(std::uniform_int_distribution<int>(0, 255)(random));
            if (c != '[' && c != '=' && c != '\n' && c != '\r')
                line += c;
        }
        return line;
    };
    const char* ends[] = {"\n", "\r\n", "\r"};
    for (int round = 0; round < 2000; ++round) {
        const QByteArray end = ends[round % 3];
        const QByteArray version = QByteArray::number(round) + "." + QByteArray::number(round % 7) + ".0.1";
        const QByteArray url = "https://x.example/d" + QByteArray::number(round);
        QByteArray answer = round % 2 ? "\xEF\xBB\xBF" : "";
        for (int i = round % 4; i > 0; --i)
            answer += junkLine() + end;
        answer += "[Version]" + end + junkLine() + end;
        answer += "  Version \t=  " + version + " " + end + junkLine() + end;
        answer += "UpdateUrl=" + url + end;
        for (int i = round % 3; i > 0; --i)
            answer += junkLine() + end;
        const TUpdateAnswer a = ReadUpdateAnswer(answer);
        ASSERT_EQ(a.Version, QString::fromLatin1(version)) << "round " << round;
        ASSERT_EQ(a.UpdateUrl, QString::fromLatin1(url)) << "round " << round;

        QByteArray noise;
        const int length = std::uniform_int_distribution<int>(0, 4000)(random);
        for (int i = 0; i < length; ++i)
            noise += char(std::uniform_int_distribution<int>(0, 255)(random));
        ASSERT_FALSE(ShouldOfferUpdate("1.0.0.1", ReadUpdateAnswer(noise))) << "round " << round;
    }
}

TEST(UpdateRequestUrl, AppendsTheVersionToTheQuery) {
    EXPECT_EQ(UpdateRequestUrl("https://brindleco.example/", "1.0.0.1"),
              "https://brindleco.example/redirect.php?pid=7&a=update&v=1.0.0.1");
    EXPECT_EQ(UpdateRequestUrl("http://127.0.0.1:8000/a/", "1.0 beta&x"),
              "http://127.0.0.1:8000/a/redirect.php?pid=7&a=update&v=1.0%20beta%26x");
}

TEST(SiteAddress, TheVariableReplacesTheSiteAndGetsItsSlash) {
    ::unsetenv(kSiteAddressVariable);
    EXPECT_EQ(SiteAddress(), QString::fromLatin1(kSiteAddress));
    ::setenv(kSiteAddressVariable, "http://127.0.0.1:1234/up", 1);
    EXPECT_EQ(SiteAddress(), "http://127.0.0.1:1234/up/");
    ::setenv(kSiteAddressVariable, "", 1);
    EXPECT_EQ(SiteAddress(), QString::fromLatin1(kSiteAddress));
    ::unsetenv(kSiteAddressVariable);
}

TEST(TempFolder, TempThenTmpdirThenTmp) {
    ::setenv("TEMP", "/a/temp", 1);
    ::setenv("TMPDIR", "/b/tmpdir/", 1);
    EXPECT_EQ(TempFolder(), "/a/temp/");
    ::unsetenv("TEMP");
    EXPECT_EQ(TempFolder(), "/b/tmpdir/");
    ::unsetenv("TMPDIR");
    EXPECT_EQ(TempFolder(), "/tmp/");
}

} // namespace
} // namespace kestrel::dialogs
