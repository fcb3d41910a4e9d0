// The category groups and their file (UnitFunction): the four built-in groups, the names they are
// shown under, and reading and writing "KestrelfindConf.xml". Everything here runs on the UI thread.
#pragma once

#include <QString>

#include <functional>

#include "unit_head.h"

namespace kestrel::core {

// The text of a text id such as "3702009" in the current language.
using TextLookup = std::function<QString(const QString& textId)>;

// True when name is one of "Documents", "Pictures", "Videos", "Music", ignoring the case of ASCII
// letters only.
bool IsBuiltInGroup(const QString& name);

// The name shown for a group: the texts "3702009" to "3702012" for the four built-in groups, any
// other name as it is.
QString GroupDisplayName(const QString& name, const TextLookup& text);

// Appends the four built-in groups with their default patterns; the list is not emptied first.
void AddDefaultGroups(TGroupList& list);

// $XDG_CONFIG_HOME/Brindleco/KestrelfindConf.xml (XDG_CONFIG_HOME defaults to ~/.config).
QString GroupFilePath();

enum class GroupLoadOutcome {
    Loaded,     // the list holds the file's groups (possibly none)
    NoFile,     // no file: the four built-in groups were appended
    NoGroups,   // the root element has no child nodes: the four built-in groups were appended
    BrokenFile, // the file could not be read or parsed: the four built-in groups were appended
};

struct GroupLoadResult {
    GroupLoadOutcome outcome = GroupLoadOutcome::Loaded;
    QString message; // for BrokenFile: what went wrong and where, to show to the user; else empty
};

// Fills list from the file at path. With a file, the list is emptied and gets one group per child
// element of the root that has child nodes; each such group gets one entry per child node, the text
// of a text-only child or else an empty entry. Names lose leading and trailing characters up to the
// blank; entries are kept as they are. A broken file is left untouched (SaveGroups keeps a copy of
// it before it writes), and the outcome says so.
GroupLoadResult LoadGroups(const QString& path, TGroupList& list);

struct GroupSaveResult {
    bool ok = false;
    QString message;  // when !ok: what failed, for the user; the previous file is then unchanged
    QString keptCopy; // when the previous file could not be parsed: where it was copied first
};

// Writes list to path as indented UTF-8 XML: root "FastSearchGroup" (xml:space="preserve"), one
// "Group" element with a "Name" attribute per group and one "Content" element per non-empty entry.
// Characters XML 1.0 cannot carry (control characters other than tab, line feed and carriage return,
// unpaired surrogates) are left out. The new file replaces the old one in a single step, so a failed
// write leaves the previous file whole. An existing file that does not parse is first copied to
// path + ".broken" (or ".broken-2", ... when that name holds something else); an existing file that
// cannot be read is not replaced.
GroupSaveResult SaveGroups(const QString& path, const TGroupList& list);

} // namespace kestrel::core
