// File icons (UnitFunction's FileIconIndex): an icon table of the program's own. An index stands for
// one QIcon for the whole process, so the index a window stores in a record's IconIndex means the same
// icon in every window.
//
// Files get the icon of their MIME type, chosen from the name alone (the file is never opened or
// read); folders get the open-folder icon; anything without an icon of its own gets the generic icon.
// Icons come from the desktop's icon theme, with Adwaita as the fallback theme when none is set.
//
// UI thread only, with a QGuiApplication. The table lives until the application object is destroyed.
#pragma once

#include <QIcon>
#include <QString>

#include <cstdint>

#include "kestrelfind.h"

namespace kestrel::platform {

inline constexpr int32_t kGenericIconIndex = 0;
inline constexpr int32_t kFolderIconIndex = 1;

// The icon index of an item by its full path (only the name after the last "/" is looked at) and
// whether the index says it is a folder. Always a valid index. Cost: one MIME lookup by name (a few
// microseconds), then one hash lookup per MIME type seen before.
int32_t FileIconIndex(const QString& fullPath, bool isFolder);

// The same for an engine record (its Name and IsFolder); the generic icon for a null record or name.
int32_t FileIconIndex(const TItemFileData* record);

// The icon of an index; the generic icon for an index the table does not hold.
QIcon FileIconAt(int32_t index);

// How many icons the table holds (the generic and the folder icon at least).
int32_t FileIconCount();

} // namespace kestrel::platform
