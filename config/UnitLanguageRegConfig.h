// The language catalogue TLanguage over liblanguages.so, and TRegConfig, the accessor of the per-user
// settings store. QtCore only.
//
// The store: a registry-style key path "\Software\<organisation>\<application>" under
// kHkeyCurrentUser is the INI file $XDG_CONFIG_HOME/<organisation>/<application>.conf (QSettings);
// a subkey such as "\SettingOptions" is the group [SettingOptions], values of the key itself sit at
// the top ([General]).
#pragma once

#include <QString>
#include <QStringList>

class QSettings;

#include <cstdint>

namespace kestrel::config {

inline constexpr uint32_t kHkeyCurrentUser = 0x80000001u;
inline constexpr uint32_t kHkeyLocalMachine = 0x80000002u;

// The program's key and the name of the text library.
inline constexpr char kProgramKeyPath[] = "\\Software\\Brindleco\\Kestrelfind";
inline constexpr char kLanguageLibrary[] = "liblanguages.so";

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config. Read anew on every call.
QString ConfigHome();

// The INI file behind a key path under root ("Software" first is optional, "\" or "/" separate the
// parts); empty for a root other than kHkeyCurrentUser or a path without organisation and application.
QString SettingsFileFor(uint32_t root, const QString& keyPath);

// The folder of the running program (from /proc/self/exe); empty when it cannot be read.
QString ProgramFolder();

// Reads and writes single values below one key. Each call opens the store, does its work and
// closes it again, so several accessors (and other processes) see each other's writes. Main thread.
class TRegConfig {
public:
    // keyPath gets a leading "\" when it has none.
    TRegConfig(uint32_t root, const QString& keyPath);

    uint32_t Root() const { return m_root; }
    const QString& KeyPath() const { return m_keyPath; }
    // The INI file of the key; empty when the root or key path has none (every read then gives its
    // default and every write fails).
    QString FileName() const;

    // The value name below key path + subKey ("\SettingOptions", or "" for the key itself) as a
    // boolean: a stored integer is true when not zero. A missing store, key or value, a value that is
    // not a decimal integer of 32 bits, or any other problem gives defaultValue.
    bool ReadBool(const QString& subKey, const QString& name, bool defaultValue) const;
    // Stores the value as 1 or 0, creating the file and its folder when missing. True when the store
    // was written. A file that cannot be parsed is never rewritten (one message to standard error).
    bool WriteBool(const QString& subKey, const QString& name, bool value);

    // A text value; defaultValue when missing or not a single text.
    QString ReadString(const QString& subKey, const QString& name, const QString& defaultValue) const;
    bool WriteString(const QString& subKey, const QString& name, const QString& value);

private:
    QString KeyOf(const QString& subKey, const QString& name) const;
    bool Writable(const QSettings& settings) const;

    uint32_t m_root;
    QString m_keyPath;
    mutable bool m_reported = false;
};

// Every visible text by its seven-digit text id, in the language the user chose. One process-wide
// instance; GetText may be called from any thread, SetLanguage only on the main thread.
class TLanguage {
public:
    // Loads the text library libraryName (a bare name is looked for next to the program first, then
    // through the library search path; a name with "/" is used as it is), lets it choose the language
    // stored as "Language" under root and keyPath (or, when none is stored, the one of the user's
    // locale) and reads the list of installed languages. When the library or one of its exports is
    // missing, one message goes to standard error and the catalogue answers with the English texts.
    TLanguage(uint32_t root, const QString& libraryName, const QString& keyPath);
    ~TLanguage();
    TLanguage(const TLanguage&) = delete;
    TLanguage& operator=(const TLanguage&) = delete;

    // The text of id with %1..%3 replaced by the arguments. A text the library does not know (or all
    // texts, without the library) comes from the program's English texts; an unknown id gives "".
    QString GetText(const QString& id, const QString& arg1 = {}, const QString& arg2 = {},
                    const QString& arg3 = {}) const;

    // Switches to the language whose display name is displayName (the last of several equal names
    // wins): stores its code as "Language" under root and keyPath, then lets the library read it.
    // False, with nothing changed, when no installed language has that name or the choice cannot be
    // stored.
    bool SetLanguage(uint32_t root, const QString& keyPath, const QString& displayName);

    // The installed languages, "code=display name" each, in the library's order.
    const QStringList& LanguageList() const { return m_languageList; }
    // The display names of LanguageList, in the same order.
    QStringList DisplayNames() const;
    const QString& CurrentCode() const { return m_currentCode; }
    bool LibraryLoaded() const { return m_library != nullptr; }

private:
    using InitLanguagesFn = int32_t (*)(uint32_t, const char*);
    using FreeLanguagesFn = int32_t (*)();
    using LoadLanguagesFn = int32_t (*)(char*, size_t*, char*, size_t*);
    using GetLanguageByIdFn = int32_t (*)(char*, size_t, const char*, const char*, const char*, const char*);

    bool LoadLibrary(const QString& libraryName);
    void ReadLanguageList();
    void ReadLibraryLanguages();

    void* m_library = nullptr;
    InitLanguagesFn m_initLanguages = nullptr;
    FreeLanguagesFn m_freeLanguages = nullptr;
    LoadLanguagesFn m_loadLanguages = nullptr;
    GetLanguageByIdFn m_getLanguageById = nullptr;
    QStringList m_languageList;
    QString m_currentCode;
};

// Puts the arguments into a text with the places %1..%3 ("%%" is "%"), in one pass.
QString SubstituteArguments(const QString& text, const QString& arg1, const QString& arg2,
                            const QString& arg3);

} // namespace kestrel::config
