// TLanguage over the real text library: the one next to this test program (the build tree's), or a
// private copy with language files written for the test.
#include "UnitLanguageRegConfig.h"
#include "default_texts.h"
#include "language_file.h"
#include "test_folder.h"

#include <gtest/gtest.h>

#include <QSettings>

#include <atomic>
#include <thread>

namespace kestrel::config {
namespace {

using kestrel::testing::ReadFile;
using kestrel::testing::ScopedEnv;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

const QString kKey = QString::fromLatin1(kProgramKeyPath);

std::string Shipped(const char* code, const std::string& id) {
    const auto file = languages::ParseLanguageFile(
        ReadFile(std::string(KESTREL_LANGUAGE_FILES "/") + code + ".lang"), code);
    return file.texts.at(id);
}

// Replaces the first "%1" of text by argument.
std::string WithArgument(std::string text, const std::string& argument) {
    const size_t place = text.find("%1");
    return place == std::string::npos ? text : text.replace(place, 2, argument);
}

class LanguageTest : public ::testing::Test {
protected:
    std::string StoreFile() const { return m_folder / "config/Brindleco/Kestrelfind.conf"; }

    TempFolder m_folder;
    ScopedEnv m_config{"XDG_CONFIG_HOME", m_folder / "config"};
    ScopedEnv m_all{"LC_ALL", std::nullopt};
    ScopedEnv m_messages{"LC_MESSAGES", std::nullopt};
    ScopedEnv m_lang{"LANG", "en_US.UTF-8"};
};

TEST_F(LanguageTest, WithoutTheLibraryTheEnglishTextsAnswer) {
    kestrel::testing::StderrCapture errors;
    TLanguage language(kHkeyCurrentUser, QString::fromStdString(m_folder / "missing/liblanguages.so"), kKey);
    EXPECT_NE(errors.Text().find("cannot load"), std::string::npos);
    EXPECT_FALSE(language.LibraryLoaded());
    for (const auto& entry : DefaultTexts()) {
        const QString id = QString::fromUtf8(entry.id.data(), entry.id.size());
        const QString text =
            language.GetText(id, QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9"));
        std::string expected(entry.text);
        for (const auto& [place, argument] :
             {std::pair{"%1", "7"}, std::pair{"%2", "8"}, std::pair{"%3", "9"}}) {
            for (size_t at; (at = expected.find(place)) != std::string::npos;) {
                expected.replace(at, 2, argument);
            }
        }
        EXPECT_EQ(text.toStdString(), expected) << entry.id;
        EXPECT_FALSE(text.isEmpty()) << entry.id;
    }
    EXPECT_EQ(language.GetText(QStringLiteral("3799999")), QString());
    EXPECT_EQ(language.LanguageList(), QStringList{QStringLiteral("en=English")});
    EXPECT_EQ(language.CurrentCode(), QStringLiteral("en"));

    EXPECT_FALSE(language.SetLanguage(kHkeyCurrentUser, kKey, QStringLiteral("简体中文")));
    EXPECT_TRUE(language.SetLanguage(kHkeyCurrentUser, kKey, QStringLiteral("English")));
    EXPECT_EQ(TRegConfig(kHkeyCurrentUser, kKey).ReadString({}, QStringLiteral("Language"), {}),
              QStringLiteral("en"));
}

TEST_F(LanguageTest, ALibraryWithoutLanguageFilesLeavesTheEnglishTexts) {
    const std::string library = kestrel::testing::CopyLanguageLibrary(m_folder / "lib");
    kestrel::testing::StderrCapture errors;
    TLanguage language(kHkeyCurrentUser, QString::fromStdString(library), kKey);
    EXPECT_TRUE(language.LibraryLoaded());
    EXPECT_NE(errors.Text().find("no language files"), std::string::npos);
    EXPECT_EQ(language.GetText(QStringLiteral("3702008"), QStringLiteral("3")).toStdString(),
              WithArgument(std::string(DefaultTextOf("3702008")), "3"));
    EXPECT_TRUE(language.SetLanguage(kHkeyCurrentUser, kKey, QStringLiteral("English")));
    EXPECT_EQ(language.LanguageList(), QStringList{QStringLiteral("en=English")});
    EXPECT_EQ(language.CurrentCode(), QStringLiteral("en"));
}

TEST_F(LanguageTest, TheLocaleChoosesWhenNoLanguageIsStored) {
    for (const char* locale : {"zh_CN.UTF-8", "fr_FR.UTF-8"}) {
        const ScopedEnv lang("LANG", locale);
        TLanguage language(kHkeyCurrentUser, QString::fromLatin1(kLanguageLibrary), kKey);
        ASSERT_TRUE(language.LibraryLoaded());
        const bool chinese = std::string(locale).starts_with("zh");
        EXPECT_EQ(language.CurrentCode(), chinese ? QStringLiteral("zh-CN") : QStringLiteral("en")) << locale;
        EXPECT_EQ(language.GetText(QStringLiteral("3702009")).toStdString(),
                  Shipped(chinese ? "zh-CN" : "en", "3702009"))
            << locale;
    }
    EXPECT_FALSE(std::filesystem::exists(StoreFile())); // choosing by locale stores nothing
}

TEST_F(LanguageTest, SetLanguageSwitchesStoresAndLastsAcrossStarts) {
    TLanguage language(kHkeyCurrentUser, QString::fromLatin1(kLanguageLibrary), kKey);
    ASSERT_TRUE(language.LibraryLoaded());
    EXPECT_EQ(language.DisplayNames(), (QStringList{QStringLiteral("English"), QStringLiteral("简体中文")}));
    EXPECT_EQ(language.CurrentCode(), QStringLiteral("en"));

    ASSERT_TRUE(language.SetLanguage(kHkeyCurrentUser, kKey, QStringLiteral("简体中文")));
    EXPECT_EQ(language.CurrentCode(), QStringLiteral("zh-CN"));
    EXPECT_EQ(language.GetText(QStringLiteral("3702008"), QStringLiteral("5")).toStdString(),
              WithArgument(Shipped("zh-CN", "3702008"), "5"));
    const std::string stored = ReadFile(StoreFile());
    EXPECT_NE(stored.find("[General]\nLanguage=zh-CN\n"), std::string::npos) << stored;

    // A name that is not installed, or differs only in case, changes nothing.
    EXPECT_FALSE(language.SetLanguage(kHkeyCurrentUser, kKey, QStringLiteral("Klingon")));
    EXPECT_FALSE(language.SetLanguage(kHkeyCurrentUser, kKey, QStringLiteral("english")));
    EXPECT_EQ(ReadFile(StoreFile()), stored);
    EXPECT_EQ(language.CurrentCode(), QStringLiteral("zh-CN"));

    TLanguage next(kHkeyCurrentUser, QString::fromLatin1(kLanguageLibrary), kKey);
    EXPECT_EQ(next.CurrentCode(), QStringLiteral("zh-CN"));
    EXPECT_EQ(next.GetText(QStringLiteral("3701003")).toStdString(), Shipped("zh-CN", "3701003"));
}

TEST_F(LanguageTest, AChoiceThatCannotBeStoredChangesNothing) {
    TLanguage language(kHkeyCurrentUser, QString::fromLatin1(kLanguageLibrary), kKey);
    ASSERT_TRUE(language.LibraryLoaded());
    const QString before = language.GetText(QStringLiteral("3701003"));
    // The organisation folder is a file: the store cannot be created.
    WriteFile(m_folder / "config/Brindleco", "not a folder");
    EXPECT_FALSE(language.SetLanguage(kHkeyCurrentUser, kKey, QStringLiteral("简体中文")));
    EXPECT_EQ(language.CurrentCode(), QStringLiteral("en"));
    EXPECT_EQ(language.GetText(QStringLiteral("3701003")), before);
    EXPECT_EQ(ReadFile(m_folder / "config/Brindleco"), "not a folder");
    EXPECT_FALSE(language.SetLanguage(0x80000002u, kKey, QStringLiteral("简体中文")));
}

TEST_F(LanguageTest, OfEqualDisplayNamesTheLaterLineWins) {
    const std::string library = kestrel::testing::CopyLanguageLibrary(m_folder / "lib");
    WriteFile(m_folder / "lib/languages/en.lang", "name=English\n3702001=All\n");
    WriteFile(m_folder / "lib/languages/pt-BR.lang", "name=Português\n3702001=Todos (Brasil)\n");
    WriteFile(m_folder / "lib/languages/pt-PT.lang", "name=Português\n3702001=Todos (Portugal)\n");
    TLanguage language(kHkeyCurrentUser, QString::fromStdString(library), kKey);
    ASSERT_TRUE(language.LibraryLoaded());
    ASSERT_TRUE(language.SetLanguage(kHkeyCurrentUser, kKey, QStringLiteral("Português")));
    EXPECT_EQ(language.CurrentCode(), QStringLiteral("pt-PT"));
    EXPECT_EQ(language.GetText(QStringLiteral("3702001")), QStringLiteral("Todos (Portugal)"));
}

TEST_F(LanguageTest, ArgumentsAndLongTextsArriveWhole) {
    const std::string library = kestrel::testing::CopyLanguageLibrary(m_folder / "lib");
    std::string longText;
    for (int i = 0; i < 1500; ++i) {
        longText += "长";
    }
    WriteFile(m_folder / "lib/languages/en.lang",
              "name=English\n3702008=<%1|%2|%3|%%|%4>\n3707004=" + longText + "%1\n");
    TLanguage language(kHkeyCurrentUser, QString::fromStdString(library), kKey);
    ASSERT_TRUE(language.LibraryLoaded());
    EXPECT_EQ(language.GetText(QStringLiteral("3702008"), QStringLiteral("文件"), QStringLiteral("%1"),
                               QStringLiteral("c")),
              QStringLiteral("<文件|%1|c|%|%4>"));
    EXPECT_EQ(language.GetText(QStringLiteral("3707004"), QStringLiteral("!")),
              QString::fromStdString(longText) + QLatin1Char('!'));
    // Not in this library's files: the program's own English text.
    EXPECT_EQ(language.GetText(QStringLiteral("3702006")).toStdString(),
              std::string(DefaultTextOf("3702006")));
}

TEST_F(LanguageTest, TextsStayWholeWhileTheLanguageChanges) {
    TLanguage language(kHkeyCurrentUser, QString::fromLatin1(kLanguageLibrary), kKey);
    ASSERT_TRUE(language.LibraryLoaded());
    const QString english = QString::fromStdString(WithArgument(Shipped("en", "3702008"), "9"));
    const QString chinese = QString::fromStdString(WithArgument(Shipped("zh-CN", "3702008"), "9"));
    std::atomic<bool> done{false};
    std::atomic<int> wrong{0};
    // The search thread writes the count text while the Options dialog switches languages.
    std::thread reader([&] {
        while (!done) {
            const QString text = language.GetText(QStringLiteral("3702008"), QStringLiteral("9"));
            if (text != english && text != chinese) {
                ++wrong;
            }
        }
    });
    for (int i = 0; i < 40; ++i) {
        EXPECT_TRUE(language.SetLanguage(
            kHkeyCurrentUser, kKey, i % 2 == 0 ? QStringLiteral("简体中文") : QStringLiteral("English")));
    }
    done = true;
    reader.join();
    EXPECT_EQ(wrong, 0);
}

} // namespace
} // namespace kestrel::config
