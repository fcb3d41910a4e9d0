#include "group_query.h"

#include <QSet>

namespace kestrel::views {

namespace {

// Blank after cutting leading and trailing spaces and control characters (everything up to U+0020).
bool isBlankEntry(const QString& entry) {
    for (QChar c : entry) {
        if (c.unicode() > 0x20)
            return false;
    }
    return true;
}

bool isAsciiLetter(QChar c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool isIdentifier(const QString& name) {
    if (name.isEmpty() || !(isAsciiLetter(name[0]) || name[0] == u'_'))
        return false;
    for (QChar c : name) {
        if (!(isAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'_'))
            return false;
    }
    return true;
}

} // namespace

QString TextExtension(const QString& text) {
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        const QChar c = text[i];
        if (c == u'.')
            return text.mid(i);
        if (c == u'/' || c == u'\\' || c == u':')
            return {};
    }
    return {};
}

QString GroupCaptionKey(const QString& caption) {
    const qsizetype paren = caption.indexOf(u'(');
    if (paren < 0)
        return caption;
    // The character before "(" is the blank of "Music (12)"; a caption that starts with "(" leaves
    // nothing.
    return caption.left(paren > 0 ? paren - 1 : 0);
}

const core::TGroupData* FindButtonGroup(const core::TGroupList& list, const QString& caption,
                                        const QString& componentName) {
    const QString key = GroupCaptionKey(caption);
    for (const auto& group : list) {
        if (group && (group->Name.compare(key, Qt::CaseInsensitive) == 0 ||
                      group->Name.compare(componentName, Qt::CaseInsensitive) == 0))
            return group.get();
    }
    return nullptr;
}

QString GroupPattern(const QString& searchText, const QStringList* content, const QString& captionKey) {
    QString pattern;
    if (content) {
        QString ext = TextExtension(searchText);
        const qsizetype blank = searchText.indexOf(u' ');
        if (ext.isEmpty() && blank >= 0)
            ext = TextExtension(searchText.left(blank));
        for (const QString& entry : *content) {
            if (isBlankEntry(entry))
                continue;
            if (!ext.isEmpty() && TextExtension(entry).contains(ext, Qt::CaseInsensitive)) {
                pattern = u'*' + QString(searchText).replace(ext, entry, Qt::CaseSensitive);
                break;
            }
            pattern += u'*' + searchText + u'*' + entry + u'|';
        }
    } else {
        pattern = captionKey;
    }

    if (!pattern.contains(u'*')) {
        pattern = u'*' + pattern + u'*';
    } else {
        const qsizetype blank = pattern.indexOf(u' ');
        if (blank >= 0) {
            const QString before = pattern.left(blank);
            const bool tailHasStar = pattern.mid(blank).contains(u'*');
            if (!before.isEmpty() && !before.contains(u'*'))
                pattern.prepend(u'*');
            if (!tailHasStar)
                pattern.append(u'*');
        }
    }
    pattern.replace(u' ', QStringLiteral("* *"));
    return pattern;
}

QString BuildGroupQuery(const core::TGroupList& list, const QString& caption, const QString& componentName,
                        const QString& searchText) {
    const core::TGroupData* group = FindButtonGroup(list, caption, componentName);
    return GroupPattern(searchText, group ? &group->Content : nullptr, GroupCaptionKey(caption));
}

QStringList GroupButtonNames(const QStringList& groupNames, const QStringList& taken) {
    QSet<QString> used;
    for (const QString& name : taken)
        used.insert(name.toCaseFolded());
    QStringList names;
    names.reserve(groupNames.size());
    for (qsizetype i = 0; i < groupNames.size(); ++i) {
        QString name = QString(groupNames[i]).remove(u' ');
        if (!isIdentifier(name) || used.contains(name.toCaseFolded())) {
            const QString fallback = QStringLiteral("Customize") + QString::number(i);
            name = fallback;
            // A group may itself be called "Customize1": never hand out a name twice.
            for (int n = 2; used.contains(name.toCaseFolded()); ++n)
                name = fallback + u'_' + QString::number(n);
        }
        used.insert(name.toCaseFolded());
        names.append(name);
    }
    return names;
}

GroupButtonLook GroupButtonLookOf(const QString& componentName, const QString& groupName,
                                  const core::TextLookup& text) {
    struct BuiltIn {
        const char16_t* name;
        const char* textId;
        const char* icon;
    };
    static constexpr BuiltIn kBuiltIns[] = {
        {u"Documents", "3702009", "Documents.png"},
        {u"Pictures", "3702010", "Pictures.png"},
        {u"Videos", "3702011", "Videos.png"},
        {u"Music", "3702012", "Music.png"},
    };
    for (const BuiltIn& builtIn : kBuiltIns) {
        if (componentName.compare(QStringView(builtIn.name), Qt::CaseInsensitive) == 0)
            return {text(QString::fromLatin1(builtIn.textId)), QString::fromLatin1(builtIn.icon)};
    }
    return {groupName, QStringLiteral("Other.png")};
}

} // namespace kestrel::views
