#include "full_mode_rules.h"

#include "engine_text.h"

#include <algorithm>

namespace kestrel::views {

QString ExportTargetName(const QString& chosen) {
    static const QString kSuffix = QStringLiteral(".txt");
    return chosen.endsWith(kSuffix) ? chosen : chosen + kSuffix;
}

std::string ExportLine(const TItemFileData* record) {
    if (!record || !record->Folder || !record->Name)
        return {};
    return core::EngineTextToBytes(record->Folder) + core::EngineTextToBytes(record->Name) + '\n';
}

std::vector<int> CopyIndices(bool selectAllDown, std::vector<int> selectedRows, int resultCount) {
    std::vector<int> indices;
    if (resultCount <= 0)
        return indices;
    std::sort(selectedRows.begin(), selectedRows.end());
    selectedRows.erase(std::unique(selectedRows.begin(), selectedRows.end()), selectedRows.end());
    std::erase_if(selectedRows, [resultCount](int row) { return row < 0 || row >= resultCount; });
    if (selectAllDown || static_cast<int>(selectedRows.size()) == resultCount) {
        indices.resize(static_cast<size_t>(resultCount));
        for (int i = 0; i < resultCount; ++i)
            indices[static_cast<size_t>(i)] = i;
        return indices;
    }
    return selectedRows;
}

TArrangeOrder ArrangeToggle(TArrangeOrder current, int32_t key) {
    if (key == current.key)
        return {key, !current.descending};
    return {key, false};
}

int TextSizeIncrease(int points) {
    return points + 1;
}

int TextSizeDecrease(int points) {
    return points > kTextSizeNormal ? points - 1 : kTextSizeNormal;
}

int PathColumnWidth(int listWidth) {
    return std::max(kPathColumnMinWidth, listWidth - 430);
}

} // namespace kestrel::views
