#include "UnitSoftConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kestrel::config {
namespace {

// Characters that a desktop entry's Exec line allows only inside a quoted argument.
constexpr char kReservedInExec[] = " \t\n\"'\\><~|&;$*?#()`";

// Escapes a desktop entry value: backslash and the control characters the format can carry.
QString EscapeValue(const QString& value) {
    QString out;
    for (const QChar c : value) {
        if (c == QLatin1Char('\\')) {
            out += QStringLiteral("\\\\");
        } else if (c == QLatin1Char('\n')) {
            out += QStringLiteral("\\n");
        } else if (c == QLatin1Char('\t')) {
            out += QStringLiteral("\\t");
        } else if (c == QLatin1Char('\r')) {
            out += QStringLiteral("\\r");
        } else {
            out += c;
        }
    }
    return out;
}

// True when path names a directory entry, a dangling symbolic link included.
bool EntryExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

QString AutostartEntryFile() {
    return ConfigHome() + QStringLiteral("/autostart/kestrelfind.desktop");
}

QString ProgramFileName() {
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

QString AutostartCommand(const QString& program, const QString& argument) {
    QString quoted = program;
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    bool reserved = false;
    for (const char c : std::string_view(kReservedInExec)) {
        reserved = reserved || program.contains(QLatin1Char(c));
    }
    if (reserved) {
        QString inner;
        for (const QChar c : quoted) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\')) {
                inner += QLatin1Char('\\');
            }
            inner += c;
        }
        quoted = QLatin1Char('"') + inner + QLatin1Char('"');
    }
    return quoted + QLatin1Char(' ') + argument;
}

TKestrelfindSoftConfig::TKestrelfindSoftConfig(uint32_t root, const QString& keyPath)
    : m_config(root, keyPath) {}

void TKestrelfindSoftConfig::LoadSettings() {
    const QString subKey = QString::fromLatin1(kSettingOptions);
    SettingsSwitches.OnWindowsLogon = m_config.ReadBool(subKey, QStringLiteral("OnWindowsLogon"), false);
    SettingsSwitches.SearchEnterKey = m_config.ReadBool(subKey, QStringLiteral("SearchEnterKey"), false);
    SettingsSwitches.StartHotkey = m_config.ReadBool(subKey, QStringLiteral("StartHotkey"), true);
    SettingsSwitches.AutoUpdata = m_config.ReadBool(subKey, QStringLiteral("AutoUpdata"), true);
}

void TKestrelfindSoftConfig::SaveSettings() {
    const QString subKey = QString::fromLatin1(kSettingOptions);
    m_config.WriteBool(subKey, QStringLiteral("SearchEnterKey"), SettingsSwitches.SearchEnterKey);
    m_config.WriteBool(subKey, QStringLiteral("StartHotkey"), SettingsSwitches.StartHotkey);
    m_config.WriteBool(subKey, QStringLiteral("AutoUpdata"), SettingsSwitches.AutoUpdata);
    const QString command = AutostartCommand(ProgramFileName(), QString::fromLatin1(kRunArgument));
    SetRunEntry(SettingsSwitches.OnWindowsLogon, AutostartEntryFile(), command,
                QString::fromLatin1(kRunValueName));
    m_config.WriteBool(subKey, QStringLiteral("OnWindowsLogon"), SettingsSwitches.OnWindowsLogon);
}

void TKestrelfindSoftConfig::SetRunEntry(bool& OnWindowsLogon, const QString& entryFile,
                                         const QString& command, const QString& valueName) {
    const QString folder = QFileInfo(entryFile).absolutePath();
    const bool exists = EntryExists(entryFile);
    if (!OnWindowsLogon) {
        if (exists) {
            QFile::remove(entryFile);
        }
        return;
    }
    if (exists) {
        return;
    }
    if (!QDir().mkpath(folder)) {
        return;
    }
    const QByteArray content =
        QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\nTerminal=false\n")
            .arg(EscapeValue(valueName), EscapeValue(command))
            .toUtf8();
    // NewOnly creates the file with O_EXCL: an entry that appeared since the check above is not
    // overwritten either.
    QFile file(entryFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (!EntryExists(entryFile)) {
            OnWindowsLogon = false;
        }
        return;
    }
    const bool written = file.write(content) == content.size() && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        file.remove();
        OnWindowsLogon = false;
    }
}

} // namespace kestrel::config
