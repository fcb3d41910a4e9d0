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
    BrokenFile, // the file could not be read or parsed, or a group has no "Name": the four built-in
                // groups were appended and the file was moved aside
};

struct GroupLoadResult {
    GroupLoadOutcome outcome = GroupLoadOutcome::Loaded;
    QString message; // for BrokenFile: what went wrong and where the file went; else empty
    QString movedTo; // for BrokenFile: where the broken file now is; empty when it could not be moved
};

// Fills list from the file at path. With a file, the list is emptied and gets one group per child
// element of the root that has child nodes; each such group gets one entry per child node, the text
// of a text-only child or else an empty entry. Names lose leading and trailing characters up to the
// blank; entries are kept as they are.
//
// A file that cannot be read or parsed, or that holds a group (an element with child nodes) without a
// "Name" attribute, is not used: the list gets the four built-in groups instead (appended, as for a
// missing file), and the file is renamed to path + ".bad", or ".bad.2", ".bad.3", ... when that name
// is taken, so that neither it nor an earlier broken file is ever overwritten. A symbolic link is
// followed: the file it names is renamed. The message goes to standard error, once per call, and
// libxml2 itself prints nothing. A folder in place of the file is reported the same way but not
// moved.
GroupLoadResult LoadGroups(const QString& path, TGroupList& list);

struct GroupSaveResult {
    bool ok = false;
    QString message;   // when !ok: what failed, for the user; the previous file is then unchanged
    QString movedAway; // when the file being replaced was itself broken: where it was moved first
};

// Writes list to path as indented UTF-8 XML: root "FastSearchGroup" (xml:space="preserve"), one
// "Group" element with a "Name" attribute per group and one "Content" element per non-empty entry.
// Characters XML 1.0 cannot carry (control characters other than tab, line feed and carriage return,
// unpaired surrogates) are left out. The new file is written beside the old one under a temporary
// name and renamed over it, so a crash or a failed write leaves the previous file whole. A symbolic
// link is written through. An existing file that LoadGroups would not use (changed by hand since it
// was loaded) is first moved aside as LoadGroups does; when that fails, nothing is written.
GroupSaveResult SaveGroups(const QString& path, const TGroupList& list);

} // namespace kestrel::core
