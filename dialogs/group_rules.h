// The group editor's and the Options dialog's rules that need no window: the name filter, the
// patterns the entry box accepts, the check before a group is stored, the file types the system
// knows and the proposals for a typed pattern, and which group a list row stands for. QtCore only.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

#include "group_file.h"
#include "unit_head.h"

namespace kestrel::dialogs {

// The longest group name in bytes of UTF-8.
inline constexpr int kGroupNameMaxBytes = 25;

// True for the 47 characters a group name may not hold: 31 ASCII signs and 16 full-width and CJK
// punctuation marks. Blanks, the underscore, letters and digits of every script are allowed.
bool IsForbiddenNameChar(char32_t c);

// The name without its forbidden characters, cut to its first kGroupNameMaxBytes bytes of UTF-8 at a
// character boundary: a character that would not fit whole is dropped whole. Running it on its own
// output changes nothing.
QString NameFilter(const QString& text);

// Equality and containment ignoring the case of ASCII letters only.
bool SameIgnoringAsciiCase(const QString& a, const QString& b);
bool ContainsIgnoringAsciiCase(const QString& text, const QString& part);

// "", "*", "." or "*." in any case: nothing a pattern can be made from.
bool IsBarePattern(const QString& text);
// Starts with "*." (ignoring case): a pattern the entry box may add.
bool IsExtensionPattern(const QString& text);
// True when patterns holds pattern, ignoring ASCII case.
bool HasPattern(const QStringList& patterns, const QString& pattern);

enum class GroupCheck {
    Ok,
    EmptyName,  // the trimmed name is empty: text "3705012"
    NoPatterns, // the pattern list is empty: text "3705009"
    NameTaken,  // another group has the name (ignoring ASCII case): text "3705010"
};

// The check of the editor's OK: typedName as in the name box, patternCount the rows of its list,
// edited the group being modified (nullptr when adding). A group that matches under its own name
// passes.
GroupCheck CheckGroup(const QString& typedName, int patternCount, const core::TGroupList& list,
                      const core::TGroupData* edited);

// Every glob extension of the shared MIME database ("*.ext" gives ".ext") with its type's comment,
// sorted by extension; an extension that several types claim comes once, with the first type's
// comment.
std::vector<core::TExtensionData> LoadKnownExtensions();

// The records whose "*" + Extension contains typed (ignoring ASCII case), in order, as patterns
// ("*.doc") with their file types. Nothing for a bare pattern or one not starting with "*.".
std::vector<core::TExtensionData> ProposeExtensions(const std::vector<core::TExtensionData>& known,
                                                    const QString& typed);

// The file type of the first record whose Extension equals the pattern without its first character
// (ignoring ASCII case); empty when there is none.
QString FileTypeOf(const std::vector<core::TExtensionData>& known, const QString& pattern);

// The first group of list whose Name equals caption, or that is built in and shown as caption, both
// ignoring ASCII case; nullptr when none.
core::TGroupData* GroupOfCaption(const core::TGroupList& list, const QString& caption,
                                 const core::TextLookup& text);

// The positions in list of the groups that belong to none of captions, highest first.
std::vector<size_t> RemovedGroupPositions(const core::TGroupList& list, const QStringList& captions,
                                          const core::TextLookup& text);

// A language's display name without leading and trailing blanks and control characters.
QString TrimmedDisplayName(const QString& name);

} // namespace kestrel::dialogs
