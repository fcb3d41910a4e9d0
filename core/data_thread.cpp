#include "data_thread.h"

#include "engine_text.h"
#include "query.h"
#include "sort_results.h"

#include <QMetaObject>
#include <QStringView>

#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

namespace kestrel::core {

// The hand-over and the view detachment reach into TSearchThread; they are its friends.
void HandOverSearch(uint64_t generation);
void DetachSearchView(const void* view);

namespace {

// UI thread only, except g_generation, which search threads read to notice that they are superseded.
std::atomic<uint64_t> g_generation{0};
std::map<uint64_t, std::unique_ptr<TSearchThread>> g_threads;
std::unique_ptr<QObject> g_receiver;
StatusTextLookup g_statusText;
// The search being handed over, so that a view destroyed during the hand-over is forgotten there too.
TSearchThread* g_handingOver = nullptr;

// What the result callbacks append to: the running search of this thread.
struct TCollector {
    TResultList* results;
    QString filter; // Shortcuts only
    uint64_t generation;
    bool failed = false;
};
thread_local TCollector* t_collector = nullptr;

// The collector of this thread's search, or null when there is none or it has been superseded (its
// records would be dropped anyway).
TCollector* activeCollector() {
    TCollector* c = t_collector;
    if (!c || c->failed || c->generation != g_generation.load(std::memory_order_relaxed))
        return nullptr;
    return c;
}

void append(TCollector* c, TItemFileData* item) {
    try {
        c->results->push_back(item);
    } catch (...) {
        // Out of memory: the search fails as a whole rather than showing part of its results.
        c->failed = true;
    }
}

bool isStillCurrent(const TSearchThread& thread) {
    return thread.Generation() == g_generation.load() && SearchRunning;
}

// Hands over every search thread that has ended, oldest first. Runs on the UI thread when a thread
// wakes it. The threads are found through their Ended flag rather than through a number carried in
// the wake-up event: the flag's release and acquire order the thread's writes before the hand-over's
// reads in a way ThreadSanitizer can check, whereas Qt's event queue orders them under a lock the
// sanitizer cannot see (Qt is not built with it). A thread handed over by an earlier wake-up finds
// nothing to do in its own.
void handOverEnded() {
    std::vector<uint64_t> ended;
    for (const auto& [generation, thread] : g_threads) {
        if (thread->Ended())
            ended.push_back(generation);
    }
    // A hand-over may start or stop searches; each generation is looked up again.
    for (uint64_t generation : ended)
        HandOverSearch(generation);
}

QString countText(size_t count) {
    const QString number = QString::number(count);
    return g_statusText ? g_statusText(QString::fromLatin1(kCountTextId), number) : number;
}

} // namespace

void SetStatusTextLookup(StatusTextLookup lookup) {
    g_statusText = std::move(lookup);
}

uint64_t CurrentSearchGeneration() {
    return g_generation.load();
}

size_t LiveSearchThreadCount() {
    return g_threads.size();
}

const TSearchThread* CurrentSearchThread() {
    auto found = g_threads.find(g_generation.load());
    return found == g_threads.end() ? nullptr : found->second.get();
}

void StartSearch(const QString& query, int32_t mode, const QString& extraText, TStatusBarView* statusBar,
                 TResultListView* list) {
    const QString pattern = QString::fromStdU16String(CollapseStars(query.toStdU16String()));
    auto current = g_threads.find(g_generation.load());
    if (SearchRunning && current != g_threads.end())
        StopFindThread(nullptr);
    // From here on the previous search is ignored: its hand-over will find an older generation.
    const uint64_t generation = g_generation.load() + 1;
    g_generation = generation;
    SearchRunning = true;
    if (mode == kModeShortcuts)
        ShortcutFilter = extraText;
    try {
        if (!g_receiver)
            g_receiver = std::make_unique<QObject>();
        g_threads.emplace(generation,
                          std::make_unique<TSearchThread>(pattern, mode, extraText, list, statusBar,
                                                          generation, g_receiver.get()));
    } catch (...) {
        // No thread could be started (out of memory or threads): the search fails quietly and the
        // window keeps what it shows.
        SearchRunning = false;
    }
}

void StopSearchThreads() {
    if (!g_threads.empty())
        StopFindThread(nullptr);
    // A new generation makes every search still at work drop its records at once.
    g_generation = g_generation.load() + 1;
    g_threads.clear();
    // Deleting the receiver discards the hand-overs the threads posted before they ended. From inside a
    // hand-over (a view that stops the searches) the receiver is busy delivering: delete it later; the
    // hand-overs still queued for it then find no thread and do nothing.
    if (g_handingOver && g_receiver)
        g_receiver.release()->deleteLater();
    else
        g_receiver.reset();
    SearchRunning = false;
}

TSearchThread::TSearchThread(const QString& query, int32_t mode, const QString& extraText,
                             TResultListView* list, TStatusBarView* statusBar, uint64_t generation,
                             QObject* receiver)
    : m_query(query.toStdU16String()), m_mode(mode), m_extraText(extraText), m_generation(generation),
      m_sortCopy(SortState), m_receiver(receiver), m_list(list), m_statusBar(statusBar) {
    SearchRunning = true;
    m_thread = std::thread([this] { Execute(); });
}

TSearchThread::~TSearchThread() {
    Join();
}

void TSearchThread::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

void TSearchThread::Execute() {
    try {
        // A search superseded before it began does not ask the engine at all.
        if (m_generation == g_generation.load()) {
            KfResultCallback callback = nullptr;
            switch (m_mode) {
            case kModeAll:
            case kModeGroup:
                callback = AllItemsCallback;
                break;
            case kModeShortcuts:
                callback = ShortcutCallback;
                break;
            case kModeFolders:
                callback = FolderCallback;
                break;
            default:
                break;
            }
            if (callback) {
                TCollector collector{&m_results, m_mode == kModeShortcuts ? m_extraText : QString(),
                                     m_generation};
                const int scope = SearchScope(MatchPath, m_mode == kModeShortcuts, m_query);
                t_collector = &collector;
                const int32_t delivered = FindItemFile(nullptr, m_query.c_str(), scope, 1, 0, 0, callback);
                t_collector = nullptr;
                m_failed = collector.failed || delivered < 0;
            }
            // Sort here rather than on the UI thread; the hand-over sorts again only when a column
            // click changed SortState meanwhile.
            if (!m_failed && RefreshInPlace) {
                SortResults(m_sortCopy.SortKey, m_sortCopy.SortDescending, m_results);
                m_sorted = true;
            }
        }
    } catch (...) {
        t_collector = nullptr;
        m_failed = true;
    }
    m_ended.store(true, std::memory_order_release);
    // The receiver outlives this thread: StopSearchThreads joins every thread before deleting it.
    QMetaObject::invokeMethod(
        m_receiver, [] { handOverEnded(); }, Qt::QueuedConnection);
}

void HandOverSearch(uint64_t generation) {
    auto found = g_threads.find(generation);
    if (found == g_threads.end())
        return;
    std::unique_ptr<TSearchThread> thread = std::move(found->second);
    g_threads.erase(found);
    thread->Join();
    if (generation != g_generation.load() || !SearchRunning)
        return; // superseded: the list goes with the thread
    if (thread->m_failed) {
        SearchRunning = false;
        return;
    }

    g_handingOver = thread.get();
    struct Reset {
        ~Reset() { g_handingOver = nullptr; }
    } reset;

    ResultList = std::move(thread->m_results);
    const int32_t count = static_cast<int32_t>(ResultList.size());
    const bool inPlace = RefreshInPlace;

    if (thread->m_statusBar) {
        thread->m_statusBar->SetPanelText(0, countText(ResultList.size()));
        if (thread->m_statusBar && !inPlace)
            thread->m_statusBar->SetPanelText(1, QString());
    }
    if (!isStillCurrent(*thread))
        return;

    if (inPlace) {
        const bool sortedAsNow = thread->m_sorted && thread->m_sortCopy.SortKey == SortState.SortKey &&
                                 thread->m_sortCopy.SortDescending == SortState.SortDescending;
        if (!sortedAsNow)
            SortResults(SortState.SortKey, SortState.SortDescending, ResultList);
        // Row by row, so that the rows still shown keep their place and selection. A view may start a
        // new search from inside one of these calls; the rest of this hand-over is then abandoned.
        int32_t rows = thread->m_list ? thread->m_list->RowCount() : 0;
        while (rows > count) {
            if (!isStillCurrent(*thread) || !thread->m_list)
                return;
            thread->m_list->RemoveRow(--rows);
        }
        while (rows < count) {
            if (!isStillCurrent(*thread) || !thread->m_list)
                return;
            thread->m_list->AppendRow();
            ++rows;
        }
        RefreshInPlace = false;
    } else if (thread->m_list) {
        thread->m_list->SetRowCount(count);
    }
    if (!isStillCurrent(*thread))
        return;
    if (thread->m_list)
        thread->m_list->Repaint();
    if (isStillCurrent(*thread))
        SearchRunning = false;
}

void DetachSearchView(const void* view) {
    auto forget = [view](TSearchThread& thread) {
        if (thread.m_list == view)
            thread.m_list = nullptr;
        if (thread.m_statusBar == view)
            thread.m_statusBar = nullptr;
    };
    for (auto& [generation, thread] : g_threads)
        forget(*thread);
    if (g_handingOver)
        forget(*g_handingOver);
}

TResultListView::~TResultListView() {
    DetachSearchView(this);
}

TStatusBarView::~TStatusBarView() {
    DetachSearchView(this);
}

TInitThread::TInitThread() : TInitThread(Steps{}) {}

TInitThread::TInitThread(Steps steps) : m_steps(steps) {
    m_thread = std::thread([this] { Execute(); });
}

TInitThread::~TInitThread() {
    WaitFor();
}

void TInitThread::WaitFor() {
    if (m_thread.joinable())
        m_thread.join();
}

void TInitThread::Execute() {
    // The engine reports errors by its return values; an exception is an error too. One retry of the
    // whole sequence, then the thread ends quietly.
    for (int attempt = 0; attempt < 2; ++attempt) {
        ++m_attempts;
        try {
            if (m_steps.index(nullptr, 1, 1, 0, IndexProgressCallback) < 0)
                continue;
            IndexReady = true;
            if (m_steps.listen(nullptr, FileChangeCallback) < 0)
                continue;
            break;
        } catch (...) {
        }
    }
    m_running = false;
}

void IndexProgressCallback(void*, int32_t) {}

void AllItemsCallback(void*, TItemFileData* item) {
    TCollector* c = activeCollector();
    if (c && item)
        append(c, item);
}

void FolderCallback(void*, TItemFileData* item) {
    TCollector* c = activeCollector();
    if (c && item && item->IsFolder)
        append(c, item);
}

void ShortcutCallback(void*, TItemFileData* item) {
    TCollector* c = activeCollector();
    if (!c || !item || item->IsFolder || !item->Name)
        return;
    const QStringView name(item->Name);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0 || name.mid(dot).compare(u".desktop", Qt::CaseInsensitive) != 0)
        return;
    if (c->filter.isEmpty() || c->filter == u"*" || name.contains(c->filter, Qt::CaseInsensitive))
        append(c, item);
}

void FileChangeCallback(void*, const char16_t* const* path, int32_t kind) {
    if (!path || !*path)
        return;
    if (kind == KF_CHANGE_CREATED || kind == KF_CHANGE_DELETED) {
        FilesChanged = true;
        return;
    }
    const std::u16string_view changed(*path);
    // Paths are compared as the engine's texts, component by component and case-sensitively: on
    // Linux /Data and /data are different folders, and /mnt/sys2 is not inside /mnt/sys.
    const char* systemDrive = std::getenv("SYSTEMDRIVE");
    std::u16string drive = BytesToEngineText(systemDrive && systemDrive[0] ? systemDrive : "/");
    while (drive.size() > 1 && drive.back() == u'/')
        drive.pop_back();
    const std::u16string root = drive == u"/" ? drive : drive + u'/';
    const bool onSystemDrive = changed == drive || changed.starts_with(root);
    if (!onSystemDrive) {
        FilesChanged = true;
        return;
    }
    if (changed == drive || changed == root ||
        QStringView(changed).contains(u"/Desktop/", Qt::CaseInsensitive))
        FilesChanged = true;
}

} // namespace kestrel::core
