// The category bar's rules that need no window: the query a group button searches for, and the names,
// captions and icons of the group buttons. QtCore only; the bar's widgets call these.
#pragma once

#include <QString>
#include <QStringList>

#include "group_file.h"
#include "unit_head.h"

namespace kestrel::views {

// The extension of a text: from its last "." to its end, when no "/", "\" or ":" comes after that
// "."; otherwise empty ("love.w" -> ".w", "a.b/c" -> "").
QString TextExtension(const QString& text);

// The caption a group button is looked up by: the caption up to the character before its first "("
// ("Music (12)" -> "Music"); the caption itself when it holds no "(".
QString GroupCaptionKey(const QString& caption);

// The group a button stands for: the first group whose Name equals the caption key or the button's
// component name, ignoring case; null when there is none. The pointer is valid while list is.
const core::TGroupData* FindButtonGroup(const core::TGroupList& list, const QString& caption,
                                        const QString& componentName);

// The group query for the search text: one "*text*pattern" per non-blank entry of content, joined and
// ended by "|"; or, as soon as an entry's extension contains the text's extension (ignoring case),
// "*" and the text with that extension replaced by the entry, alone. Without a group (content null)
// the query is the caption key. Then stars are added around the words and every blank becomes
// "* *". The result still holds runs of "*" that the search start collapses: for Music ("*.mp3",
// "*.wav", "*.wma") and "love song" the search sees "*love* *song*.mp3|*love* *song*.wav|...|".
QString GroupPattern(const QString& searchText, const QStringList* content, const QString& captionKey);

// GroupPattern for a clicked button: finds its group by caption or component name first.
QString BuildGroupQuery(const core::TGroupList& list, const QString& caption, const QString& componentName,
                        const QString& searchText);

// Component names for the group buttons, in list order: the group name without its blanks when that
// is an identifier (a letter or "_", then letters, digits and "_", ASCII) not yet used in the window
// (taken, ignoring case, and the buttons before it); otherwise "Customize" followed by the group's
// position from 0, with "_2", "_3", ... added in the rare case that this is taken too.
QStringList GroupButtonNames(const QStringList& groupNames, const QStringList& taken);

// The top of group button i (from 0) in the bar: below the three fixed buttons, 23 pixels each.
constexpr int GroupButtonTop(int index) {
    return 23 * index + 69;
}

struct GroupButtonLook {
    QString caption;
    QString iconFile; // a file name in the Images folder
};

// Caption and icon of a group button: the four built-in groups, recognised by the component name
// ignoring case, get their translated caption (texts "3702009" to "3702012") and their own icon
// ("Documents.png", ...); any other group shows its name with "Other.png".
GroupButtonLook GroupButtonLookOf(const QString& componentName, const QString& groupName,
                                  const core::TextLookup& text);

} // namespace kestrel::views
