#include "shared_state.h"

namespace kestrel::core {

TResultList ResultList;
TSortState SortState;

std::atomic<bool> IndexReady{false};
std::atomic<bool> FilesChanged{false};
std::atomic<bool> RefreshInPlace{false};
std::atomic<bool> MatchPath{false};
std::atomic<bool> SearchRunning{false};

std::string StartMenuPattern;
QString ShortcutFilter;

std::vector<TDriveData> DriveList;

TItemFileData* ResultAt(int32_t i) {
    if (i < 0 || static_cast<size_t>(i) >= ResultList.size())
        return nullptr;
    TItemFileData* record = ResultList[static_cast<size_t>(i)];
    if (!record || !record->Folder || !record->Name)
        return nullptr;
    return record;
}

void InitSharedState() {
    ResultList.clear();
    DriveList.clear();
    SortState = TSortState{};
    IndexReady = false;
    FilesChanged = false;
    RefreshInPlace = false;
    MatchPath = false;
    SearchRunning = false;
    StartMenuPattern.clear();
    ShortcutFilter.clear();
}

void FreeSharedState() {
    // Swapping with empty lists frees the memory too, not only the entries.
    TResultList().swap(ResultList);
    std::vector<TDriveData>().swap(DriveList);
    StartMenuPattern.clear();
    ShortcutFilter.clear();
}

} // namespace kestrel::core
