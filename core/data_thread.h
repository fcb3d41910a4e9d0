// The threads that drive the engine (UnitDataThread): TInitThread builds the index and starts the change
// listener, TSearchThread runs one search, StartSearch is the one way the windows start a search, and
// the engine's callbacks decide which records a search keeps and when files count as changed.
//
// How a search travels. StartSearch (UI thread) gives the search the next generation number, tells
// the engine to stop the previous search and starts a TSearchThread. The thread calls FindItemFile; the
// result callbacks append to a list that belongs to that thread alone. When the engine returns, the
// thread posts its generation to the UI thread and ends. There, if the generation is still the newest,
// the list replaces ResultList and the window's list and status bar are updated (the hand-over); an
// older generation is dropped with its list. So a superseded search never changes ResultList, a flag
// or a window, and no thread is ever killed.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "search_view.h"
#include "shared_state.h"

namespace kestrel::core {

// Search modes of StartSearch. Any other value searches nothing and reports 0 results.
enum : int32_t { kModeAll = 0, kModeShortcuts = 1, kModeFolders = 2, kModeGroup = 3 };

// The text id of the count in the first status panel; its %1 is the decimal count.
inline constexpr char kCountTextId[] = "3702008";

// A text id with one argument in the current language (the language catalogue's GetText).
using StatusTextLookup = std::function<QString(const QString& textId, const QString& arg)>;

// Installs the lookup for the count text. UI thread, before the first search. Without one the status
// panel shows the bare count.
void SetStatusTextLookup(StatusTextLookup lookup);

// Starts a search and supersedes the previous one. UI thread only; returns at once.
// query: the engine pattern (NormaliseQuery, a group pattern or StartMenuPattern); every run of "*" in
// it becomes one "*". mode: kModeAll, kModeShortcuts, kModeFolders or kModeGroup. extraText: for
// Shortcuts, the typed text that filters the launcher names ("" or "*" keeps all). statusBar may be
// null. The views must live on the UI thread; destroying one detaches it (search_view.h).
// Needs a QCoreApplication: the hand-over is an event posted to the UI thread's event loop.
void StartSearch(const QString& query, int32_t mode, const QString& extraText, TStatusBarView* statusBar,
                 TResultListView* list);

// Close request: tells the engine to stop its search, waits for every search thread to end (the engine
// returns within milliseconds of the stop) and drops what they would have handed over. SearchRunning is
// cleared. UI thread only. Searches may be started again afterwards.
void StopSearchThreads();

// Search threads started and not yet handed back to the UI thread (the current one and superseded ones
// still at work or waiting to be dropped). UI thread only.
size_t LiveSearchThreadCount();

// The generation of the last started search; 0 before the first. Readable from any thread.
uint64_t CurrentSearchGeneration();

class TSearchThread;
// The last started search while its thread has not been handed back; null otherwise. UI thread only.
const TSearchThread* CurrentSearchThread();

// One search on a thread of its own. Created only by StartSearch, freed on the UI thread when it hands
// over (or is dropped) or by StopSearchThreads.
class TSearchThread {
public:
    // Stores the search, sets SearchRunning and starts the thread. UI thread. The thread posts to
    // `receiver` (a QObject of the UI thread) when it ends.
    TSearchThread(const QString& query, int32_t mode, const QString& extraText, TResultListView* list,
                  TStatusBarView* statusBar, uint64_t generation, QObject* receiver);
    // Waits for the thread to end.
    ~TSearchThread();
    TSearchThread(const TSearchThread&) = delete;
    TSearchThread& operator=(const TSearchThread&) = delete;

    uint64_t Generation() const { return m_generation; }
    const std::u16string& Query() const { return m_query; }
    int32_t Mode() const { return m_mode; }
    // True once the thread has finished its work and is about to wake the UI thread. Any thread; what
    // the thread wrote before is visible to whoever saw true.
    bool Ended() const { return m_ended.load(std::memory_order_acquire); }

private:
    friend void HandOverSearch(uint64_t generation);
    friend void DetachSearchView(const void* view);

    void Execute();
    void Join();

    // Read by the thread; fixed before it starts.
    const std::u16string m_query;
    const int32_t m_mode;
    const QString m_extraText;
    const uint64_t m_generation;
    const TSortState m_sortCopy;
    QObject* const m_receiver;

    // Written by the thread; read on the UI thread after it has been joined.
    TResultList m_results;
    bool m_failed = false;
    bool m_sorted = false;

    // UI thread only; null once the view has been destroyed.
    TResultListView* m_list;
    TStatusBarView* m_statusBar;

    std::atomic<bool> m_ended{false};
    std::thread m_thread;
};

// Builds the index at start-up, then starts the engine's change listener. The thread starts on creation.
// The owner (the compact window) keeps it, learns through Running whether it still runs and waits for it
// at the close request; destroying it waits too.
class TInitThread {
public:
    // The two engine calls of the start-up, with the engine's argument lists.
    struct Steps {
        int32_t (*index)(void*, int32_t, int32_t, int32_t, KfIndexProgressCallback) = Kestrelfind;
        int32_t (*listen)(void*, KfFileChangeCallback) = StartFileListensThread;
    };

    TInitThread();
    // The same with other calls in place of the engine's (tests put failures in front of the engine).
    explicit TInitThread(Steps steps);
    ~TInitThread();
    TInitThread(const TInitThread&) = delete;
    TInitThread& operator=(const TInitThread&) = delete;

    // True until the thread has ended. Any thread.
    bool Running() const { return m_running; }
    // Waits, without a limit, for the thread to end. Owner's thread.
    void WaitFor();
    // How many times the sequence was started: 1, or 2 after an error. Any thread.
    int32_t Attempts() const { return m_attempts; }

private:
    void Execute();

    const Steps m_steps;
    std::atomic<bool> m_running{true};
    std::atomic<int32_t> m_attempts{0};
    std::thread m_thread;
};

// The engine's callbacks, with the argument lists of kestrelfind.h. The first argument is not read.

// Indexing progress: does nothing.
void IndexProgressCallback(void* context, int32_t percent);

// Result callbacks. They run inside FindItemFile on a search thread and append to that search's own
// list; a null record, or a call on a thread with no search of ours, is ignored.
// Every record.
void AllItemsCallback(void* context, TItemFileData* item);
// Folders only.
void FolderCallback(void* context, TItemFileData* item);
// Launchers: files (not folders) whose name ends in ".desktop", ignoring case, and, unless the search's
// filter is empty or exactly "*", whose name contains the filter ignoring case. The folder is not tested.
void ShortcutCallback(void* context, TItemFileData* item);

// A change on disk (the engine's listener thread). A null path, or a null text behind it, does nothing. Kinds
// 0 (created) and 2 (deleted) set FilesChanged. Any other kind sets it unless the path lies on the system
// drive (the folder named by $SYSTEMDRIVE, "/" when unset), where only the drive's root itself and paths
// holding
// "/Desktop/" (ignoring case) count.
void FileChangeCallback(void* context, const char16_t* const* path, int32_t kind);

} // namespace kestrel::core
