#include "group_rules.h"

#include <QMimeDatabase>
#include <QRegularExpression>

#include <algorithm>
#include <map>

namespace kestrel::dialogs {

namespace {

QString AsciiLower(const QString& text) {
    QString lower = text;
    for (QChar& c : lower) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return lower;
}

int Utf8Length(char32_t c) {
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

bool IsBlankOrControl(QChar c) {
    return c.isSpace() || c.category() == QChar::Other_Control;
}

} // namespace

bool IsForbiddenNameChar(char32_t c) {
    static constexpr char32_t kForbidden[] = {
        // ASCII (31).
        U'"', U'\\', U'/', U'*', U'?', U'<', U'>', U'|', U'~', U'`', U'!', U'@', U'#', U'$', U'%', U'^', U'&',
        U'(', U')', U'-', U'=', U'+', U'{', U'}', U'[', U']', U';', U':', U'\'', U',', U'.',
        // Full-width and CJK punctuation (16).
        0xFF08, 0xFF09, 0xFF01, 0xFFE5, 0x2026, 0x2014, 0x201C, 0x201D, 0xFF1A, 0xFF1B, 0x3001, 0x300A,
        0x300B, 0xFF0C, 0x3002, 0xFF1F};
    static_assert(std::size(kForbidden) == 47);
    return std::find(std::begin(kForbidden), std::end(kForbidden), c) != std::end(kForbidden);
}

QString NameFilter(const QString& text) {
    QString result;
    int bytes = 0;
    for (const char32_t c : text.toUcs4()) {
        if (IsForbiddenNameChar(c))
            continue;
        // A lone surrogate becomes U+FFFD in UTF-8: three bytes.
        const int length = Utf8Length(c);
        if (bytes + length > kGroupNameMaxBytes)
            break;
        bytes += length;
        result += QString::fromUcs4(&c, 1);
    }
    return result;
}

bool SameIgnoringAsciiCase(const QString& a, const QString& b) {
    return a.size() == b.size() && AsciiLower(a) == AsciiLower(b);
}

bool ContainsIgnoringAsciiCase(const QString& text, const QString& part) {
    return AsciiLower(text).contains(AsciiLower(part));
}

bool IsBarePattern(const QString& text) {
    return text.isEmpty() || text == u"*" || text == u"." || text == u"*.";
}

bool IsExtensionPattern(const QString& text) {
    return text.startsWith(u"*.");
}

bool HasPattern(const QStringList& patterns, const QString& pattern) {
    return std::any_of(patterns.begin(), patterns.end(),
                       [&](const QString& p) { return SameIgnoringAsciiCase(p, pattern); });
}

GroupCheck CheckGroup(const QString& typedName, int patternCount, const core::TGroupList& list,
                      const core::TGroupData* edited) {
    const QString name = typedName.trimmed();
    if (name.isEmpty())
        return GroupCheck::EmptyName;
    if (patternCount <= 0)
        return GroupCheck::NoPatterns;
    for (const auto& group : list) {
        if (!SameIgnoringAsciiCase(group->Name, name))
            continue;
        if (!edited || !SameIgnoringAsciiCase(edited->Name, name))
            return GroupCheck::NameTaken;
    }
    return GroupCheck::Ok;
}

std::vector<core::TExtensionData> LoadKnownExtensions() {
    std::map<QString, QString> byExtension;
    const QMimeDatabase database;
    for (const QMimeType& type : database.allMimeTypes()) {
        for (const QString& glob : type.globPatterns()) {
            // Only plain "*.ext" globs name an extension; "*.[ch]", "Makefile", "*~" do not.
            if (!glob.startsWith(u"*.") || glob.size() < 3)
                continue;
            const QString extension = glob.mid(1);
            if (extension.indexOf(QRegularExpression(QStringLiteral("[*?\\[\\]]"))) >= 0)
                continue;
            byExtension.emplace(extension, type.comment());
        }
    }
    std::vector<core::TExtensionData> known;
    known.reserve(byExtension.size());
    for (const auto& [extension, comment] : byExtension)
        known.push_back({extension, comment});
    return known;
}

std::vector<core::TExtensionData> ProposeExtensions(const std::vector<core::TExtensionData>& known,
                                                    const QString& typed) {
    std::vector<core::TExtensionData> proposals;
    const QString lowerTyped = AsciiLower(typed);
    if (IsBarePattern(lowerTyped) || !IsExtensionPattern(lowerTyped))
        return proposals;
    for (const core::TExtensionData& record : known) {
        const QString pattern = u'*' + record.Extension;
        if (AsciiLower(pattern).contains(lowerTyped))
            proposals.push_back({pattern, record.FileType});
    }
    return proposals;
}

QString FileTypeOf(const std::vector<core::TExtensionData>& known, const QString& pattern) {
    const QString extension = pattern.mid(1);
    for (const core::TExtensionData& record : known) {
        if (SameIgnoringAsciiCase(record.Extension, extension))
            return record.FileType;
    }
    return {};
}

core::TGroupData* GroupOfCaption(const core::TGroupList& list, const QString& caption,
                                 const core::TextLookup& text) {
    for (const auto& group : list) {
        if (SameIgnoringAsciiCase(group->Name, caption))
            return group.get();
        if (core::IsBuiltInGroup(group->Name) &&
            SameIgnoringAsciiCase(core::GroupDisplayName(group->Name, text), caption))
            return group.get();
    }
    return nullptr;
}

std::vector<size_t> RemovedGroupPositions(const core::TGroupList& list, const QStringList& captions,
                                          const core::TextLookup& text) {
    std::vector<size_t> removed;
    for (size_t i = 0; i < list.size(); ++i) {
        const core::TGroupData* group = list[i].get();
        // A group keeps its place when some row shows its name, or, for a built-in group, its display
        // name.
        const bool shown = std::any_of(captions.begin(), captions.end(), [&](const QString& caption) {
            return SameIgnoringAsciiCase(group->Name, caption) ||
                   (core::IsBuiltInGroup(group->Name) &&
                    SameIgnoringAsciiCase(core::GroupDisplayName(group->Name, text), caption));
        });
        if (!shown)
            removed.push_back(i);
    }
    std::reverse(removed.begin(), removed.end());
    return removed;
}

QString TrimmedDisplayName(const QString& name) {
    qsizetype first = 0;
    qsizetype last = name.size();
    while (first < last && IsBlankOrControl(name[first]))
        ++first;
    while (last > first && IsBlankOrControl(name[last - 1]))
        --last;
    return name.mid(first, last - first);
}

} // namespace kestrel::dialogs
