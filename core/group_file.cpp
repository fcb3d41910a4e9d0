#include "group_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#include "xdg_dirs.h"

namespace kestrel::core {

namespace {

// A group file is a few kilobytes; anything beyond this is not one and is not loaded into memory.
constexpr qint64 kMaxFileSize = 64 << 20;
// Broken files are kept as ".bad", ".bad.2", ... up to this many; beyond it nothing more is moved.
constexpr int kMaxAsideNames = 10000;

struct BuiltInGroup {
    const char* name;
    const char* textId;
    std::initializer_list<const char*> patterns;
};

const BuiltInGroup kBuiltIn[] = {
    {"Documents", "3702009", {"*.asm",  "*.bas", "*.c",   "*.cc",  "*.cs",  "*.h",    "*.hpp", "*.htm",
                              "*.java", "*.pas", "*.pl",  "*.ppt", "*.rtf", "*.txt",  "*.vb",  "*.vbs",
                              "*.doc",  "*.wps", "*.bat", "*.cpp", "*.xls", "*.html", "*.js",  "*.pdf"}},
    {"Pictures", "3702010", {"*.bmp", "*.gif", "*.jpg", "*.png", "*.psd"}},
    {"Videos", "3702011", {"*.avi", "*.mpg", "*.rm", "*.swf", "*.wav", "*.wma", "*.wmv", "*.rmvb", "*.mp4"}},
    {"Music", "3702012", {"*.mp3", "*.wav", "*.wma"}},
};

bool equalsIgnoringAsciiCase(const QString& a, const char* b) {
    const qsizetype n = a.size();
    qsizetype i = 0;
    for (; i < n && b[i] != '\0'; ++i) {
        char16_t x = a[i].unicode();
        char16_t y = static_cast<unsigned char>(b[i]);
        if (x >= u'a' && x <= u'z')
            x = static_cast<char16_t>(x - 32);
        if (y >= u'a' && y <= u'z')
            y = static_cast<char16_t>(y - 32);
        if (x != y)
            return false;
    }
    return i == n && b[i] == '\0';
}

// Removes leading and trailing characters up to and including the blank (U+0000..U+0020).
QString trimmedToBlank(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start].unicode() <= 32)
        ++start;
    while (end > start && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(start, end - start);
}

// The text without the characters an XML 1.0 document cannot hold: a file holding one would not
// parse again, and every group in it would be lost at the next start.
QString xmlSafe(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
                out += text[i];
                out += text[++i];
            }
            continue;
        }
        if (QChar::isLowSurrogate(c))
            continue;
        if (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r')
            continue;
        if (c == 0xFFFE || c == 0xFFFF)
            continue;
        out += text[i];
    }
    return out;
}

QString fromXml(const xmlChar* text) {
    return text ? QString::fromUtf8(reinterpret_cast<const char*>(text)) : QString();
}

QByteArray toXml(const QString& text) {
    return xmlSafe(text).toUtf8();
}

const xmlChar* xml(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

// Collects libxml2's first error, on one line, instead of letting it print to standard error; restores the
// previous handler when it goes.
class ErrorCapture {
public:
    ErrorCapture() : m_oldHandler(xmlStructuredError), m_oldContext(xmlStructuredErrorContext) {
        xmlSetStructuredErrorFunc(this, &ErrorCapture::collect);
    }
    ~ErrorCapture() { xmlSetStructuredErrorFunc(m_oldContext, m_oldHandler); }
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;

    const QString& message() const { return m_message; }

private:
    static void collect(void* context, xmlErrorPtr error) {
        auto* self = static_cast<ErrorCapture*>(context);
        if (!error || error->level < XML_ERR_ERROR || !self->m_message.isEmpty())
            return;
        self->m_message = QStringLiteral("line %1: %2")
                              .arg(error->line)
                              .arg(QString::fromUtf8(error->message ? error->message : "").simplified());
    }

    xmlStructuredErrorFunc m_oldHandler;
    void* m_oldContext;
    QString m_message;
};

bool readFile(const QString& path, QByteArray& bytes, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    if (file.size() > kMaxFileSize) {
        error = QStringLiteral("the file is larger than %1 bytes").arg(kMaxFileSize);
        return false;
    }
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return false;
    }
    return true;
}

// The document of a file's bytes, or null with the parser's first error in error.
Doc parse(const QByteArray& bytes, QString& error) {
    ErrorCapture capture;
    // No network access and no entity substitution; white space text nodes stay in the tree.
    Doc doc(xmlReadMemory(bytes.constData(), static_cast<int>(bytes.size()), "KestrelfindConf.xml", nullptr,
                          XML_PARSE_NONET));
    if (doc && !xmlDocGetRootElement(doc.get())) {
        doc.reset();
        error = QStringLiteral("no root element");
    } else if (!doc) {
        error = capture.message().isEmpty() ? QStringLiteral("not an XML document") : capture.message();
    }
    return doc;
}

// A child of the root that is read as a group: an element with child nodes of its own. Everything
// else (white space, comments, a group written without entries) is skipped.
bool isGroupNode(const xmlNode* node) {
    return node->type == XML_ELEMENT_NODE && node->children;
}

// The document of a group file's bytes, or null with what makes it unusable in error: the parser's
// first error, no root element, or a group without a "Name" attribute.
Doc parseGroups(const QByteArray& bytes, QString& error) {
    Doc doc = parse(bytes, error);
    if (!doc)
        return doc;
    int index = 0;
    for (xmlNode* node = xmlDocGetRootElement(doc.get())->children; node; node = node->next) {
        if (!isGroupNode(node))
            continue;
        ++index;
        if (!xmlHasProp(node, xml("Name"))) {
            error =
                QStringLiteral("line %1: group %2 has no Name attribute").arg(xmlGetLineNo(node)).arg(index);
            return {};
        }
    }
    return doc;
}

std::unique_ptr<TGroupData> readGroup(xmlNode* node) {
    auto group = std::make_unique<TGroupData>();
    xmlChar* name = xmlGetProp(node, xml("Name"));
    group->Name = trimmedToBlank(fromXml(name));
    xmlFree(name);
    qsizetype count = 0;
    for (xmlNode* child = node->children; child; child = child->next)
        ++count;
    group->Content = QStringList(count);
    qsizetype index = 0;
    for (xmlNode* child = node->children; child; child = child->next, ++index) {
        xmlNode* only = child->children;
        bool textOnly = child->type == XML_ELEMENT_NODE && only && !only->next &&
                        (only->type == XML_TEXT_NODE || only->type == XML_CDATA_SECTION_NODE);
        if (textOnly)
            group->Content[index] = fromXml(only->content);
    }
    return group;
}

// The file that path stands for: the end of a chain of symbolic links (even a dangling one), else path.
QString resolvedFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString target = info.canonicalFilePath();
    return target.isEmpty() ? info.symLinkTarget() : target;
}

// Renames from to to unless to exists; returns 0 or the errno. The check and the rename are one step,
// so a name that appears meanwhile (another running copy moving its own broken file) is never
// overwritten.
int renameNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A filesystem without RENAME_NOREPLACE: a hard link refuses an existing name the same way.
    if (::link(from.constData(), to.constData()) != 0)
        return errno;
    if (::unlink(from.constData()) != 0) {
        const int error = errno;
        ::unlink(to.constData());
        return error;
    }
    return 0;
}

// Renames file to file + ".bad", or the first free of ".bad.2", ".bad.3", ...; returns the new name, or
// an empty text with the reason in error.
QString moveAside(const QString& file, QString& error) {
    const QByteArray from = QFile::encodeName(file);
    for (int i = 1; i <= kMaxAsideNames; ++i) {
        const QString candidate = file + (i == 1 ? QStringLiteral(".bad") : QStringLiteral(".bad.%1").arg(i));
        const int result = renameNoReplace(from, QFile::encodeName(candidate));
        if (result == 0)
            return candidate;
        if (result != EEXIST) {
            error = QString::fromLocal8Bit(std::strerror(result));
            return {};
        }
    }
    error = QStringLiteral("%1 earlier broken files are kept already").arg(kMaxAsideNames);
    return {};
}

// The defaults in place of a file that cannot be used, which is moved aside and reported.
GroupLoadResult useDefaultsInstead(const QString& path, const QString& why, TGroupList& list) {
    AddDefaultGroups(list);
    GroupLoadResult result{GroupLoadOutcome::BrokenFile, {}, {}};
    const QString shown = QDir::toNativeSeparators(path);
    const QString file = resolvedFile(path);
    if (QFileInfo(file).isDir()) {
        result.message = QStringLiteral("The group file %1 is a folder (%2); the built-in groups are used "
                                        "instead and the folder is left as it is.")
                             .arg(shown, why);
    } else {
        QString moveError;
        result.movedTo = moveAside(file, moveError);
        if (!result.movedTo.isEmpty()) {
            result.message = QStringLiteral("The group file %1 cannot be used (%2). It was renamed to %3 "
                                            "and the built-in groups are used instead.")
                                 .arg(shown, why, QDir::toNativeSeparators(result.movedTo));
        } else {
            result.message = QStringLiteral("The group file %1 cannot be used (%2) and could not be renamed "
                                            "aside (%3). The built-in groups are used instead; the file is "
                                            "left as it is.")
                                 .arg(shown, why, moveError);
        }
    }
    std::fprintf(stderr, "kestrelfind: %s\n", result.message.toUtf8().constData());
    return result;
}

bool writeWhole(const QString& path, const QByteArray& bytes, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

bool IsBuiltInGroup(const QString& name) {
    for (const BuiltInGroup& g : kBuiltIn) {
        if (equalsIgnoringAsciiCase(name, g.name))
            return true;
    }
    return false;
}

QString GroupDisplayName(const QString& name, const TextLookup& text) {
    for (const BuiltInGroup& g : kBuiltIn) {
        if (equalsIgnoringAsciiCase(name, g.name))
            return text(QString::fromLatin1(g.textId));
    }
    return name;
}

void AddDefaultGroups(TGroupList& list) {
    for (const BuiltInGroup& g : kBuiltIn) {
        auto group = std::make_unique<TGroupData>();
        group->Name = QString::fromLatin1(g.name);
        for (const char* pattern : g.patterns)
            group->Content.append(QString::fromLatin1(pattern));
        list.push_back(std::move(group));
    }
}

QString GroupFilePath() {
    return QFile::decodeName(QByteArray::fromStdString(XdgConfigHomeFromEnvironment())) +
           QStringLiteral("/Brindleco/KestrelfindConf.xml");
}

GroupLoadResult LoadGroups(const QString& path, TGroupList& list) {
    if (!QFileInfo::exists(path)) {
        AddDefaultGroups(list);
        return {GroupLoadOutcome::NoFile, {}, {}};
    }
    QByteArray bytes;
    QString error;
    Doc doc;
    if (readFile(path, bytes, error))
        doc = parseGroups(bytes, error);
    if (!doc)
        return useDefaultsInstead(path, error, list);

    xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root->children) {
        AddDefaultGroups(list);
        return {GroupLoadOutcome::NoGroups, {}, {}};
    }
    list.clear();
    for (xmlNode* node = root->children; node; node = node->next) {
        if (isGroupNode(node))
            list.push_back(readGroup(node));
    }
    return {GroupLoadOutcome::Loaded, {}, {}};
}

GroupSaveResult SaveGroups(const QString& path, const TGroupList& list) {
    GroupSaveResult result;
    // Built without white space nodes, so that the writer can indent it.
    Doc doc(xmlNewDoc(xml("1.0")));
    xmlNode* root = xmlNewDocNode(doc.get(), nullptr, xml("FastSearchGroup"), nullptr);
    xmlDocSetRootElement(doc.get(), root);
    xmlNodeSetSpacePreserve(root, 1);
    for (const std::unique_ptr<TGroupData>& group : list) {
        if (!group)
            continue;
        xmlNode* node = xmlNewChild(root, nullptr, xml("Group"), nullptr);
        xmlNewProp(node, xml("Name"), xml(toXml(group->Name).constData()));
        for (const QString& entry : group->Content) {
            QByteArray text = toXml(entry);
            if (!text.isEmpty())
                xmlNewTextChild(node, nullptr, xml("Content"), xml(text.constData()));
        }
    }
    xmlChar* dump = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc.get(), &dump, &size, "UTF-8", 1);
    if (!dump) {
        result.message = QStringLiteral("The groups could not be written: out of memory.");
        return result;
    }
    const QByteArray bytes(reinterpret_cast<const char*>(dump), size);
    xmlFree(dump);

    // Write through a symbolic link to the file it names, instead of replacing the link.
    const QString target = resolvedFile(path);
    const QString shown = QDir::toNativeSeparators(target);
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        result.message =
            QStringLiteral("The groups could not be saved: the folder of %1 cannot be created.").arg(shown);
        return result;
    }

    const QFileInfo existing(target);
    if (existing.exists() && !existing.isDir()) {
        QByteArray previous;
        QString error;
        if (!readFile(target, previous, error) || !parseGroups(previous, error)) {
            result.movedAway = moveAside(target, error);
            if (result.movedAway.isEmpty()) {
                result.message =
                    QStringLiteral("The groups could not be saved: the existing file %1 cannot be "
                                   "used and could not be renamed aside (%2), so it was not "
                                   "replaced.")
                        .arg(shown, error);
                return result;
            }
        }
    }

    QString error;
    if (!writeWhole(target, bytes, error)) {
        result.message = QStringLiteral("The groups could not be saved to %1: %2").arg(shown, error);
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace kestrel::core
