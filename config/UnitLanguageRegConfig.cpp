#include "UnitLanguageRegConfig.h"

#include "default_texts.h"
#include "kestrel_languages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>
#include <QVariant>

#include <dlfcn.h>

#include <cstdio>
#include <limits>
#include <optional>
#include <string>

namespace kestrel::config {
namespace {

// The base language, answered without the library.
constexpr char kBaseLanguageLine[] = "en=English";
constexpr char kBaseLanguageCode[] = "en";
constexpr size_t kTextBuffer = 512;

// The parts of a key path, separated by "\" or "/".
QStringList KeyParts(const QString& keyPath) {
    return QString(keyPath)
        .replace(QLatin1Char('\\'), QLatin1Char('/'))
        .split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

// A stored 32-bit number (signed or unsigned), or nothing for any other kind of value.
std::optional<long long> StoredInteger(const QVariant& value) {
    const int type = value.typeId();
    if (type != QMetaType::QString && type != QMetaType::QByteArray && type != QMetaType::Int &&
        type != QMetaType::UInt && type != QMetaType::LongLong && type != QMetaType::ULongLong) {
        return std::nullopt;
    }
    bool ok = false;
    const long long number = value.toString().trimmed().toLongLong(&ok, 10);
    if (!ok || number < std::numeric_limits<int32_t>::min() ||
        number > std::numeric_limits<uint32_t>::max()) {
        return std::nullopt;
    }
    return number;
}

} // namespace

QString ConfigHome() {
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (xdg.startsWith(QLatin1Char('/'))) {
        return xdg;
    }
    return QDir::homePath() + QStringLiteral("/.config");
}

QString SettingsFileFor(uint32_t root, const QString& keyPath) {
    if (root != kHkeyCurrentUser) {
        return {};
    }
    QStringList parts = KeyParts(keyPath);
    if (parts.contains(QStringLiteral(".")) || parts.contains(QStringLiteral(".."))) {
        return {};
    }
    if (!parts.isEmpty() && parts.front() == QStringLiteral("Software")) {
        parts.removeFirst();
    }
    if (parts.size() < 2) {
        return {};
    }
    return ConfigHome() + QLatin1Char('/') + parts.join(QLatin1Char('/')) + QStringLiteral(".conf");
}

QString ProgramFolder() {
    const QString program = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    return program.isEmpty() ? QString() : QFileInfo(program).absolutePath();
}

QString SubstituteArguments(const QString& text, const QString& arg1, const QString& arg2,
                            const QString& arg3) {
    QString out;
    out.reserve(text.size() + arg1.size() + arg2.size() + arg3.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('%') && i + 1 < text.size()) {
            const QChar next = text[i + 1];
            if (next == QLatin1Char('%')) {
                out += QLatin1Char('%');
                ++i;
                continue;
            }
            if (next >= QLatin1Char('1') && next <= QLatin1Char('3')) {
                out += next == QLatin1Char('1') ? arg1 : next == QLatin1Char('2') ? arg2 : arg3;
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// ---- TRegConfig

TRegConfig::TRegConfig(uint32_t root, const QString& keyPath)
    : m_root(root), m_keyPath(keyPath.startsWith(QLatin1Char('\\')) ? keyPath : QLatin1Char('\\') + keyPath) {
}

bool TRegConfig::Writable(const QSettings& settings) const {
    const QString file = settings.fileName();
    bool parses = settings.status() == QSettings::NoError;
    if (parses && QFileInfo::exists(file)) {
        // QSettings keeps every file it parsed in a process-wide cache and reports a parse error only
        // to the object that parsed it, so a copy under a new name is parsed here to learn the truth.
        QTemporaryFile copy;
        QFile original(file);
        parses = copy.open() && original.open(QIODevice::ReadOnly) && copy.write(original.readAll()) >= 0 &&
                 copy.flush();
        if (parses) {
            const QSettings check(copy.fileName(), QSettings::IniFormat);
            check.childGroups();
            parses = check.status() == QSettings::NoError;
        }
    }
    if (parses) {
        return true;
    }
    // QSettings would rewrite a file it could not parse from the part it understood, dropping the
    // rest: such a file is left for the user to repair.
    if (!m_reported) {
        m_reported = true;
        std::fprintf(stderr, "kestrelfind: %s: not a readable settings file; settings are not saved there\n",
                     qPrintable(file));
    }
    return false;
}

QString TRegConfig::FileName() const {
    return SettingsFileFor(m_root, m_keyPath);
}

QString TRegConfig::KeyOf(const QString& subKey, const QString& name) const {
    QStringList parts = KeyParts(subKey);
    parts.append(name);
    return parts.join(QLatin1Char('/'));
}

bool TRegConfig::ReadBool(const QString& subKey, const QString& name, bool defaultValue) const {
    const QString file = FileName();
    if (file.isEmpty() || name.isEmpty() || !QFileInfo(file).isFile()) {
        return defaultValue;
    }
    const QSettings settings(file, QSettings::IniFormat);
    const auto number = StoredInteger(settings.value(KeyOf(subKey, name)));
    return number ? *number != 0 : defaultValue;
}

bool TRegConfig::WriteBool(const QString& subKey, const QString& name, bool value) {
    const QString file = FileName();
    if (file.isEmpty() || name.isEmpty()) {
        return false;
    }
    QSettings settings(file, QSettings::IniFormat);
    if (!Writable(settings)) {
        return false;
    }
    settings.setValue(KeyOf(subKey, name), value ? 1 : 0);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString TRegConfig::ReadString(const QString& subKey, const QString& name,
                               const QString& defaultValue) const {
    const QString file = FileName();
    if (file.isEmpty() || name.isEmpty() || !QFileInfo(file).isFile()) {
        return defaultValue;
    }
    const QSettings settings(file, QSettings::IniFormat);
    const QVariant value = settings.value(KeyOf(subKey, name));
    return value.typeId() == QMetaType::QString ? value.toString() : defaultValue;
}

bool TRegConfig::WriteString(const QString& subKey, const QString& name, const QString& value) {
    const QString file = FileName();
    if (file.isEmpty() || name.isEmpty()) {
        return false;
    }
    QSettings settings(file, QSettings::IniFormat);
    if (!Writable(settings)) {
        return false;
    }
    settings.setValue(KeyOf(subKey, name), value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

// ---- TLanguage

TLanguage::TLanguage(uint32_t root, const QString& libraryName, const QString& keyPath) {
    if (LoadLibrary(libraryName)) {
        m_initLanguages(root, keyPath.toUtf8().constData());
    }
    ReadLanguageList();
}

TLanguage::~TLanguage() {
    if (m_library != nullptr) {
        dlclose(m_library);
    }
}

bool TLanguage::LoadLibrary(const QString& libraryName) {
    QStringList candidates;
    if (libraryName.contains(QLatin1Char('/'))) {
        candidates << libraryName;
    } else {
        const QString folder = ProgramFolder();
        if (!folder.isEmpty()) {
            candidates << folder + QLatin1Char('/') + libraryName;
        }
        candidates << libraryName;
    }
    QString failure;
    for (const QString& candidate : candidates) {
        m_library = dlopen(QFile::encodeName(candidate).constData(), RTLD_NOW | RTLD_LOCAL);
        if (m_library != nullptr) {
            break;
        }
        failure = QString::fromLocal8Bit(dlerror());
    }
    if (m_library == nullptr) {
        std::fprintf(stderr, "kestrelfind: cannot load %s (%s); texts are shown in English\n",
                     qPrintable(libraryName), qPrintable(failure));
        return false;
    }
    m_initLanguages = reinterpret_cast<InitLanguagesFn>(dlsym(m_library, "InitLanguages"));
    m_freeLanguages = reinterpret_cast<FreeLanguagesFn>(dlsym(m_library, "FreeLanguages"));
    m_loadLanguages = reinterpret_cast<LoadLanguagesFn>(dlsym(m_library, "LoadLanguages"));
    m_getLanguageById = reinterpret_cast<GetLanguageByIdFn>(dlsym(m_library, "GetLanguageById"));
    if (m_initLanguages == nullptr || m_freeLanguages == nullptr || m_loadLanguages == nullptr ||
        m_getLanguageById == nullptr) {
        std::fprintf(stderr, "kestrelfind: %s lacks one of its four functions; texts are shown in English\n",
                     qPrintable(libraryName));
        dlclose(m_library);
        m_library = nullptr;
        m_initLanguages = nullptr;
        m_freeLanguages = nullptr;
        m_loadLanguages = nullptr;
        m_getLanguageById = nullptr;
        return false;
    }
    return true;
}

void TLanguage::ReadLanguageList() {
    ReadLibraryLanguages();
    // Without the library, or without its language files, the program's own English texts answer.
    if (m_languageList.isEmpty() || m_currentCode.isEmpty()) {
        m_languageList = QStringList{QString::fromLatin1(kBaseLanguageLine)};
        m_currentCode = QString::fromLatin1(kBaseLanguageCode);
    }
}

void TLanguage::ReadLibraryLanguages() {
    m_languageList.clear();
    m_currentCode.clear();
    if (m_loadLanguages == nullptr) {
        return;
    }
    std::string list(4096, '\0');
    std::string code(64, '\0');
    // The sizes come back when a buffer was too small; the list can only change between the calls
    // when another thread frees the library's texts, hence the bound.
    for (int attempt = 0; attempt < 4; ++attempt) {
        size_t listSize = list.size();
        size_t codeSize = code.size();
        const int32_t result = m_loadLanguages(list.data(), &listSize, code.data(), &codeSize);
        if (result == KL_OK) {
            m_languageList = QString::fromUtf8(list.c_str()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            m_currentCode = QString::fromUtf8(code.c_str());
            return;
        }
        if (result != KL_TRUNCATED) {
            return;
        }
        list.assign(listSize, '\0');
        code.assign(codeSize, '\0');
    }
}

QString TLanguage::GetText(const QString& id, const QString& arg1, const QString& arg2,
                           const QString& arg3) const {
    if (m_getLanguageById != nullptr) {
        const QByteArray id8 = id.toUtf8();
        const QByteArray a1 = arg1.toUtf8();
        const QByteArray a2 = arg2.toUtf8();
        const QByteArray a3 = arg3.toUtf8();
        std::string buffer(kTextBuffer, '\0');
        for (int attempt = 0; attempt < 4; ++attempt) {
            const int32_t length = m_getLanguageById(buffer.data(), buffer.size(), id8.constData(),
                                                     a1.constData(), a2.constData(), a3.constData());
            if (length < 0) {
                break;
            }
            if (static_cast<size_t>(length) < buffer.size()) {
                return QString::fromUtf8(buffer.data(), length);
            }
            buffer.assign(static_cast<size_t>(length) + 1, '\0');
        }
    }
    const std::string_view text = DefaultTextOf(id.toStdString());
    return SubstituteArguments(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), arg1,
                               arg2, arg3);
}

QStringList TLanguage::DisplayNames() const {
    QStringList names;
    for (const QString& line : m_languageList) {
        names << line.mid(line.indexOf(QLatin1Char('=')) + 1);
    }
    return names;
}

bool TLanguage::SetLanguage(uint32_t root, const QString& keyPath, const QString& displayName) {
    QString code;
    for (const QString& line : m_languageList) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0 && line.mid(equals + 1) == displayName) {
            code = line.left(equals);
        }
    }
    if (code.isEmpty()) {
        return false;
    }
    // The library reads its language from the store, so a choice that cannot be stored cannot be
    // made: the texts would stay in the old language while the current code claimed the new one.
    TRegConfig config(root, keyPath);
    if (!config.WriteString(QString(), QStringLiteral("Language"), code)) {
        return false;
    }
    if (m_initLanguages != nullptr) {
        m_initLanguages(root, keyPath.toUtf8().constData());
    }
    ReadLanguageList();
    return m_currentCode == code;
}

} // namespace kestrel::config
