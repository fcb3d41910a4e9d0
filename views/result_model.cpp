#include "result_model.h"

#include "clipboard.h"
#include "engine_text.h"
#include "file_icons.h"
#include "text_format.h"

#include <QMimeData>

#include <set>

namespace kestrel::views {

namespace {

QString EngineString(const char16_t* text) {
    return QString::fromUtf16(text);
}

} // namespace

std::string RecordPath(const TItemFileData* record) {
    if (!record || !record->Folder || !record->Name)
        return {};
    return core::EngineTextToBytes(record->Folder) + core::EngineTextToBytes(record->Name);
}

TResultListModel::TResultListModel(std::vector<ResultColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(std::move(columns)) {}

TResultListModel::~TResultListModel() = default;

void TResultListModel::SetCaptions(const QStringList& captions) {
    m_captions = captions;
    if (!m_columns.empty())
        emit headerDataChanged(Qt::Horizontal, 0, static_cast<int>(m_columns.size()) - 1);
}

int TResultListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int TResultListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant TResultListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() >= static_cast<int>(m_columns.size()))
        return {};
    TItemFileData* record = core::ResultAt(index.row());
    if (!record)
        return {};
    const ResultColumn column = m_columns[static_cast<size_t>(index.column())];
    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case ResultColumn::Name:
            return EngineString(record->Name);
        case ResultColumn::Path:
            return EngineString(record->Folder);
        case ResultColumn::Size:
            return core::SizeText(record->Size);
        case ResultColumn::Date:
            return core::DateText(record->LastWriteTime);
        }
        return {};
    case Qt::DecorationRole:
        if (column != ResultColumn::Name)
            return {};
        // Only rows being painted get here, so icons are looked up for the visible rows alone.
        if (record->IconIndex < 0)
            record->IconIndex = platform::FileIconIndex(record);
        return platform::FileIconAt(record->IconIndex);
    case Qt::TextAlignmentRole:
        if (column == ResultColumn::Size)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        if (column == ResultColumn::Name)
            return EngineString(record->Folder) + EngineString(record->Name);
        return {};
    default:
        return {};
    }
}

QVariant TResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= static_cast<int>(m_columns.size()))
        return {};
    if (role == Qt::DisplayRole)
        return section < m_captions.size() ? m_captions[section] : QString();
    if (role == Qt::TextAlignmentRole && m_columns[static_cast<size_t>(section)] == ResultColumn::Size)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags TResultListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QStringList TResultListModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

QMimeData* TResultListModel::mimeData(const QModelIndexList& indexes) const {
    std::set<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid())
            rows.insert(index.row());
    std::vector<std::string> paths;
    for (int row : rows) {
        std::string path = RecordPath(core::ResultAt(row));
        if (!path.empty())
            paths.push_back(std::move(path));
    }
    if (paths.empty())
        return nullptr;
    return platform::FileListMimeData(paths).release();
}

Qt::DropActions TResultListModel::supportedDragActions() const {
    return Qt::CopyAction;
}

void TResultListModel::RemoveRow(int32_t row) {
    if (row < 0 || row >= m_rows)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    --m_rows;
    endRemoveRows();
}

void TResultListModel::AppendRow() {
    beginInsertRows(QModelIndex(), m_rows, m_rows);
    ++m_rows;
    endInsertRows();
}

void TResultListModel::SetRowCount(int32_t count) {
    beginResetModel();
    m_rows = count < 0 ? 0 : count;
    endResetModel();
}

void TResultListModel::Repaint() {
    if (m_rows > 0 && !m_columns.empty())
        emit dataChanged(index(0, 0), index(m_rows - 1, static_cast<int>(m_columns.size()) - 1));
}

} // namespace kestrel::views
