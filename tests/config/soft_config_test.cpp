// The switches in a real INI file below a temporary XDG_CONFIG_HOME, and the autostart entry.
#include "UnitSoftConfig.h"
#include "test_folder.h"

#include <gtest/gtest.h>

#include <QSettings>

namespace kestrel::config {
namespace {

using kestrel::testing::ReadFile;
using kestrel::testing::ScopedEnv;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

const QString kKey = QString::fromLatin1(kProgramKeyPath);

class SoftConfigTest : public ::testing::Test {
protected:
    std::string StoreFile() const { return m_folder / "config/Brindleco/Kestrelfind.conf"; }
    std::string EntryFile() const { return m_folder / "config/autostart/kestrelfind.desktop"; }

    TSettingsSwitches Loaded() const {
        TKestrelfindSoftConfig config(kHkeyCurrentUser, kKey);
        config.LoadSettings();
        return config.SettingsSwitches;
    }

    TempFolder m_folder;
    ScopedEnv m_config{"XDG_CONFIG_HOME", m_folder / "config"};
};

TEST_F(SoftConfigTest, AFreshUserGetsTheDefaultsAndNoFile) {
    TKestrelfindSoftConfig config(kHkeyCurrentUser, kKey);
    config.SettingsSwitches = {true, true, false, false};
    config.LoadSettings();
    EXPECT_FALSE(config.SettingsSwitches.OnWindowsLogon);
    EXPECT_FALSE(config.SettingsSwitches.SearchEnterKey);
    EXPECT_TRUE(config.SettingsSwitches.StartHotkey);
    EXPECT_TRUE(config.SettingsSwitches.AutoUpdata);
    EXPECT_FALSE(std::filesystem::exists(m_folder / "config/Brindleco"));
}

TEST_F(SoftConfigTest, SavedSwitchesComeBackAndAreStoredAsOneOrZero) {
    for (const TSettingsSwitches switches :
         {TSettingsSwitches{false, true, false, false}, TSettingsSwitches{false, false, true, true},
          TSettingsSwitches{false, true, true, false}}) {
        TKestrelfindSoftConfig config(kHkeyCurrentUser, kKey);
        config.SettingsSwitches = switches;
        config.SaveSettings();
        const TSettingsSwitches loaded = Loaded();
        EXPECT_EQ(loaded.SearchEnterKey, switches.SearchEnterKey);
        EXPECT_EQ(loaded.StartHotkey, switches.StartHotkey);
        EXPECT_EQ(loaded.AutoUpdata, switches.AutoUpdata);
        EXPECT_FALSE(loaded.OnWindowsLogon);
        const std::string text = ReadFile(StoreFile());
        const auto digit = [](bool on) { return on ? "1" : "0"; };
        EXPECT_NE(text.find("[SettingOptions]\n"), std::string::npos) << text;
        EXPECT_NE(text.find(std::string("SearchEnterKey=") + digit(switches.SearchEnterKey) + "\n"),
                  std::string::npos);
        EXPECT_NE(text.find(std::string("StartHotkey=") + digit(switches.StartHotkey) + "\n"),
                  std::string::npos);
        EXPECT_NE(text.find(std::string("AutoUpdata=") + digit(switches.AutoUpdata) + "\n"),
                  std::string::npos);
        EXPECT_NE(text.find("OnWindowsLogon=0\n"), std::string::npos);
    }
}

TEST_F(SoftConfigTest, SavingKeepsOtherValuesOfTheStore) {
    WriteFile(StoreFile(), "[General]\nLanguage=zh-CN\n\n[SettingOptions]\nFutureSwitch=7\n");
    TKestrelfindSoftConfig config(kHkeyCurrentUser, kKey);
    config.SaveSettings();
    const std::string text = ReadFile(StoreFile());
    EXPECT_NE(text.find("Language=zh-CN"), std::string::npos) << text;
    EXPECT_NE(text.find("FutureSwitch=7"), std::string::npos) << text;
}

TEST_F(SoftConfigTest, ValuesThatAreNotIntegersReadAsTheirDefault) {
    struct Case {
        std::string stored;
        std::optional<bool> value; // nullopt: the default
    };
    const Case cases[] = {
        {"1", true},
        {"0", false},
        {"2", true},
        {"-1", true},
        {" 0 ", false},
        {"4294967295", true},
        {"true", std::nullopt},
        {"false", std::nullopt},
        {"", std::nullopt},
        {"yes", std::nullopt},
        {"1.0", std::nullopt},
        {"0x1", std::nullopt},
        {"1a", std::nullopt},
        {"4294967296", std::nullopt},
        {"-2147483649", std::nullopt},
        {"0, 1", std::nullopt},
        {"@Invalid()", std::nullopt},
        {"\"1", std::nullopt},
    };
    for (const auto& c : cases) {
        // Each case has a store of its own: QSettings keeps what it parsed per file name.
        const std::string home = m_folder / ("case" + std::to_string(&c - cases));
        WriteFile(home + "/Brindleco/Kestrelfind.conf",
                  "[SettingOptions]\nOnWindowsLogon=" + c.stored + "\nSearchEnterKey=" + c.stored +
                      "\nStartHotkey=" + c.stored + "\nAutoUpdata=" + c.stored + "\n");
        const ScopedEnv config("XDG_CONFIG_HOME", home);
        const TSettingsSwitches loaded = Loaded();
        EXPECT_EQ(loaded.OnWindowsLogon, c.value.value_or(false)) << c.stored;
        EXPECT_EQ(loaded.SearchEnterKey, c.value.value_or(false)) << c.stored;
        EXPECT_EQ(loaded.StartHotkey, c.value.value_or(true)) << c.stored;
        EXPECT_EQ(loaded.AutoUpdata, c.value.value_or(true)) << c.stored;
    }
}

TEST_F(SoftConfigTest, AStoreThatCannotBeWrittenKeepsTheSwitchesInMemory) {
    WriteFile(m_folder / "config/Brindleco", "a file where the folder belongs");
    TRegConfig reg(kHkeyCurrentUser, kKey);
    EXPECT_FALSE(reg.WriteBool(QStringLiteral("\\SettingOptions"), QStringLiteral("StartHotkey"), false));
    EXPECT_TRUE(reg.ReadBool(QStringLiteral("\\SettingOptions"), QStringLiteral("StartHotkey"), true));

    TKestrelfindSoftConfig config(kHkeyCurrentUser, kKey);
    config.SettingsSwitches = {false, true, false, false};
    config.SaveSettings();
    EXPECT_TRUE(config.SettingsSwitches.SearchEnterKey);
    EXPECT_FALSE(config.SettingsSwitches.StartHotkey);
    EXPECT_EQ(ReadFile(m_folder / "config/Brindleco"), "a file where the folder belongs");
}

TEST_F(SoftConfigTest, AStoreThatCannotBeParsedIsReadButNeverRewritten) {
    const std::string broken =
        "[General]\nLanguage=zh-CN\n[SettingOptions\nStartHotkey=0\nhand-edited note\n";
    WriteFile(StoreFile(), broken);
    kestrel::testing::StderrCapture errors;
    TKestrelfindSoftConfig config(kHkeyCurrentUser, kKey);
    config.LoadSettings();
    config.SettingsSwitches.AutoUpdata = false;
    config.SaveSettings();
    EXPECT_EQ(ReadFile(StoreFile()), broken);
    const std::string messages = errors.Text();
    EXPECT_NE(messages.find(StoreFile() + ": not a readable settings file"), std::string::npos) << messages;
    EXPECT_EQ(messages.find("kestrelfind:", messages.find("kestrelfind:") + 1), std::string::npos)
        << messages;
    EXPECT_FALSE(config.SettingsSwitches.AutoUpdata);
}

TEST_F(SoftConfigTest, KeysAreFoundWithOrWithoutTheLeadingBackslash) {
    TRegConfig withSlash(kHkeyCurrentUser, kKey);
    TRegConfig withoutSlash(kHkeyCurrentUser, QStringLiteral("Software\\Brindleco\\Kestrelfind"));
    EXPECT_EQ(withoutSlash.KeyPath(), kKey);
    ASSERT_TRUE(withSlash.WriteBool(QStringLiteral("SettingOptions"), QStringLiteral("AutoUpdata"), false));
    EXPECT_FALSE(
        withoutSlash.ReadBool(QStringLiteral("\\SettingOptions"), QStringLiteral("AutoUpdata"), true));
    EXPECT_EQ(withSlash.FileName().toStdString(), StoreFile());

    // Roots and paths without a per-user file: reads give the default, writes fail.
    TRegConfig machine(kHkeyLocalMachine, kKey);
    EXPECT_FALSE(machine.WriteBool(QStringLiteral("\\SettingOptions"), QStringLiteral("AutoUpdata"), true));
    EXPECT_FALSE(machine.ReadBool(QStringLiteral("\\SettingOptions"), QStringLiteral("AutoUpdata"), false));
    TRegConfig shortPath(kHkeyCurrentUser, QStringLiteral("\\Software\\Kestrelfind"));
    EXPECT_FALSE(shortPath.WriteBool({}, QStringLiteral("AutoUpdata"), true));
}

TEST_F(SoftConfigTest, RunEntryIsCreatedNeverRewrittenAndRemoved) {
    const QString entry = QString::fromStdString(EntryFile());
    const QString command = QStringLiteral("/opt/kf/kestrelfind Kestrelfind");
    const QString name = QString::fromLatin1(kRunValueName);
    bool on = true;
    TKestrelfindSoftConfig::SetRunEntry(on, entry, command, name);
    EXPECT_TRUE(on);
    const std::string created = ReadFile(EntryFile());
    EXPECT_TRUE(created.starts_with("[Desktop Entry]\n")) << created;
    EXPECT_NE(created.find("\nType=Application\n"), std::string::npos) << created;
    EXPECT_NE(created.find("\nName=Kestrel Find\n"), std::string::npos) << created;
    EXPECT_NE(created.find("\nExec=/opt/kf/kestrelfind Kestrelfind\n"), std::string::npos) << created;

    // Switching on again, even with another command, leaves an existing entry as it is.
    WriteFile(EntryFile(), "[Desktop Entry]\nExec=/somewhere/else --tray\n");
    WriteFile(m_folder / "config/autostart/other.desktop", "[Desktop Entry]\nExec=other\n");
    TKestrelfindSoftConfig::SetRunEntry(on, entry, QStringLiteral("/new/path Kestrelfind"), name);
    EXPECT_TRUE(on);
    EXPECT_EQ(ReadFile(EntryFile()), "[Desktop Entry]\nExec=/somewhere/else --tray\n");

    on = false;
    TKestrelfindSoftConfig::SetRunEntry(on, entry, command, name);
    EXPECT_FALSE(on);
    EXPECT_FALSE(std::filesystem::exists(EntryFile()));
    EXPECT_EQ(ReadFile(m_folder / "config/autostart/other.desktop"), "[Desktop Entry]\nExec=other\n");
    // Off with no entry: still nothing there.
    TKestrelfindSoftConfig::SetRunEntry(on, entry, command, name);
    EXPECT_FALSE(std::filesystem::exists(EntryFile()));
}

TEST_F(SoftConfigTest, RunEntryFolderThatCannotBeMadeLeavesTheSwitch) {
    WriteFile(m_folder / "config/autostart", "a file where the folder belongs");
    bool on = true;
    TKestrelfindSoftConfig::SetRunEntry(on, QString::fromStdString(EntryFile()),
                                        QStringLiteral("/x Kestrelfind"), QString::fromLatin1(kRunValueName));
    EXPECT_TRUE(on);
    EXPECT_EQ(ReadFile(m_folder / "config/autostart"), "a file where the folder belongs");
}

TEST_F(SoftConfigTest, RunEntryThatCannotBeCreatedTurnsTheSwitchOff) {
    const QString name = QString::fromLatin1(kRunValueName);
    // /proc exists, but nobody, not even root, can create a file there.
    bool on = true;
    TKestrelfindSoftConfig::SetRunEntry(on, QStringLiteral("/proc/kestrelfind.desktop"),
                                        QStringLiteral("/x Kestrelfind"), name);
    EXPECT_FALSE(on);

    // A dangling symbolic link in the entry's place is an existing entry: it stays, and so does the switch.
    std::filesystem::create_directories(m_folder / "config/autostart");
    std::filesystem::create_symlink(m_folder / "nowhere/target.desktop", EntryFile());
    on = true;
    TKestrelfindSoftConfig::SetRunEntry(on, QString::fromStdString(EntryFile()),
                                        QStringLiteral("/x Kestrelfind"), name);
    EXPECT_TRUE(on);
    EXPECT_TRUE(std::filesystem::is_symlink(EntryFile()));
    EXPECT_FALSE(std::filesystem::exists(m_folder / "nowhere"));
}

TEST_F(SoftConfigTest, SaveSettingsMirrorsTheLogonSwitchInTheAutostartEntry) {
    TKestrelfindSoftConfig config(kHkeyCurrentUser, kKey);
    config.SettingsSwitches.OnWindowsLogon = true;
    config.SaveSettings();
    EXPECT_TRUE(Loaded().OnWindowsLogon);
    const std::string entry = ReadFile(EntryFile());
    const QString expected = AutostartCommand(ProgramFileName(), QStringLiteral("Kestrelfind"));
    ASSERT_FALSE(ProgramFileName().isEmpty());
    EXPECT_NE(entry.find("\nExec=" + expected.toStdString() + "\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find(ProgramFileName().toStdString()), std::string::npos) << entry;

    config.SettingsSwitches.OnWindowsLogon = false;
    config.SaveSettings();
    EXPECT_FALSE(Loaded().OnWindowsLogon);
    EXPECT_FALSE(std::filesystem::exists(EntryFile()));
}

TEST(AutostartCommand, QuotesProgramNamesThatNeedIt) {
    struct Case {
        QString program;
        QString command;
    };
    const Case cases[] = {
        {QStringLiteral("/usr/bin/kestrelfind"), QStringLiteral("/usr/bin/kestrelfind Kestrelfind")},
        {QStringLiteral("/opt/My Apps/kestrelfind"),
         QStringLiteral("\"/opt/My Apps/kestrelfind\" Kestrelfind")},
        {QStringLiteral("/opt/100%/kf"), QStringLiteral("/opt/100%%/kf Kestrelfind")},
        {QStringLiteral("/opt/a$b\"c/kf"), QStringLiteral("\"/opt/a\\$b\\\"c/kf\" Kestrelfind")},
        {QStringLiteral("/opt/作者/kf"), QStringLiteral("/opt/作者/kf Kestrelfind")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AutostartCommand(c.program, QStringLiteral("Kestrelfind")), c.command)
            << c.program.toStdString();
    }
}

} // namespace
} // namespace kestrel::config
