// The settings object: the four switches of the Options dialog in the per-user store, and the
// autostart entry that mirrors "start at log-in". QtCore only; main thread only.
#pragma once

#include "UnitLanguageRegConfig.h"

#include <QString>

namespace kestrel::config {

// The four switches, one byte each, in the order the Options dialog copies them.
struct TSettingsSwitches {
    bool OnWindowsLogon = false; // start when the user logs in
    bool SearchEnterKey = false; // Enter in the search box starts a web search
    bool StartHotkey = true;     // double Ctrl shows and hides the box
    bool AutoUpdata = true;      // check for a newer version at start-up
};
static_assert(sizeof(TSettingsSwitches) == 4);

// The subkey of the switches, the autostart entry's display name and the word after the program.
inline constexpr char kSettingOptions[] = "\\SettingOptions";
inline constexpr char kRunValueName[] = "Kestrel Find";
inline constexpr char kRunArgument[] = "Kestrelfind";

// $XDG_CONFIG_HOME/autostart/kestrelfind.desktop.
QString AutostartEntryFile();

// The full file name of the running program; empty when /proc/self/exe cannot be read.
QString ProgramFileName();

// The autostart command for program: the program's file name, a space, then argument. The file name
// is quoted as a desktop entry's Exec needs when it holds a blank or another reserved character, and
// a "%" is doubled.
QString AutostartCommand(const QString& program, const QString& argument);

class TKestrelfindSoftConfig {
public:
    // The switches start at their defaults; LoadSettings reads them.
    TKestrelfindSoftConfig(uint32_t root, const QString& keyPath);

    // Reads the four switches from the subkey "\SettingOptions"; each missing or unreadable one takes
    // its default.
    void LoadSettings();

    // Writes "SearchEnterKey", "StartHotkey" and "AutoUpdata", brings the autostart entry in line with
    // OnWindowsLogon (which may turn the switch off, see SetRunEntry), then writes "OnWindowsLogon". A
    // value that cannot be written stays only in memory.
    void SaveSettings();

    // Makes the autostart entry entryFile follow the switch. On: creates the entry (Name=valueName,
    // Exec=command) unless a file of that name exists, which is never rewritten. Off: removes an
    // existing entry. When the entry's folder is missing and cannot be created, nothing happens; when
    // creating or removing the entry fails, the switch is turned off.
    static void SetRunEntry(bool& OnWindowsLogon, const QString& entryFile, const QString& command,
                            const QString& valueName);

    TSettingsSwitches SettingsSwitches;

private:
    TRegConfig m_config;
};

} // namespace kestrel::config
