// The process-wide state the search core shares with the windows (UnitHead): the result list and its
// accessor, the sort state, the five flags, the Shortcuts texts and the drive list.
//
// Threads. ResultList, SortState, StartMenuPattern, ShortcutFilter and DriveList belong to the UI thread:
// only the UI thread reads or writes them. A search thread never touches ResultList; it fills a list of
// its own, which the UI thread puts in place of ResultList when the search ends (data_thread.h). The
// flags are atomics that any thread may read; the comment of each names its writers.
#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "drive_list.h"
#include "kestrelfind.h"

namespace kestrel::core {

// References to engine result records. The records belong to the engine and stay valid until
// StopKestrelfind; the list never frees them. The UI writes only a record's IconIndex.
using TResultList = std::vector<TItemFileData*>;

// The results of the last finished search; row i of every result view is entry i. Emptied at process
// start, replaced as a whole by each finished search, reordered in place by column clicks (SortResults).
// UI thread only; readers go through ResultAt.
extern TResultList ResultList;

// The record at index i of ResultList, or null when i is negative or not below the count, when the
// entry is null, or when the record's Folder or Name is missing. UI thread only.
TItemFileData* ResultAt(int32_t i);

// The key and direction last applied by a column click or an Arrange command: SortKey 0 name, 1 folder,
// 2 size, 3 date, -1 none. A change of the search text sets SortKey to -1. UI thread only; a search
// started for a refresh in place takes a copy of it.
struct TSortState {
    bool SortDescending = false;
    int32_t SortKey = -1;
};
extern TSortState SortState;

// Set once the engine's indexing call has returned (TInitThread); never cleared while the process runs.
extern std::atomic<bool> IndexReady;
// Set by FileChangeCallback on the engine's listener thread; cleared by the windows' refresh ticks.
extern std::atomic<bool> FilesChanged;
// Set by a window's refresh tick right before it re-runs its search; cleared when that search has been
// handed over, and by every change of the search text.
extern std::atomic<bool> RefreshInPlace;
// The pressed state of the Match Path menu items: searches match full paths.
extern std::atomic<bool> MatchPath;
// A search is at work: set by StartSearch, cleared on the UI thread when the current search has been
// handed over or has failed. A superseded search never clears it.
extern std::atomic<bool> SearchRunning;

// The fixed pattern of the Shortcuts category (UTF-8 bytes, BuildStartMenuPattern). UI thread only.
extern std::string StartMenuPattern;
// The name filter of the last Shortcuts search (its extra text), written by StartSearch. UI thread only;
// a running Shortcuts search filters with its own copy.
extern QString ShortcutFilter;

// The local disks, filled at start-up by BuildDriveList. UI thread only.
extern std::vector<TDriveData> DriveList;

// Process start, before any window: empty lists and texts, SortState key -1 ascending, every flag false.
void InitSharedState();

// Process end, after the engine has been stopped and every search thread has ended: empties and frees
// ResultList and DriveList (the engine's records are not touched) and clears the texts.
void FreeSharedState();

} // namespace kestrel::core
