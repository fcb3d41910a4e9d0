// The records the search core shares with the windows (UnitHead): a category group, a registered
// file type and a local disk (TDriveData, in drive_list.h, is Qt-free for the command-line tool). The
// shared lists, flags and sort state are in shared_state.h.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "drive_list.h"
#include "shared_state.h"

namespace kestrel::core {

// One category group: its stored name and its patterns in display order ("*.doc"). An entry may be
// empty or blank; every reader skips such entries.
struct TGroupData {
    QString Name;
    QStringList Content;
};

// One file type known to the system: the extension with its leading dot (".doc") and the type's
// description, empty when none is known.
struct TExtensionData {
    QString Extension;
    QString FileType;
};

// The ordered list of groups. It owns its records: removing an entry frees the group, and a record's
// address stays the same while it is in the list.
using TGroupList = std::vector<std::unique_ptr<TGroupData>>;

} // namespace kestrel::core
