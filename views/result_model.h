// The virtual result list (lvFiles's data): a table model over ResultList that stores no rows. Its
// row count is all it keeps; data() reads one row through ResultAt whenever the view paints it, so a
// million results cost nothing until rows are shown. It is the TResultListView the search core
// updates at the hand-over.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <string>
#include <vector>

#include "search_view.h"
#include "shared_state.h"

namespace kestrel::views {

// What a column shows of a record.
enum class ResultColumn { Name, Path, Size, Date };

// The full path of a record as the file system's bytes: folder followed by name. Empty for null.
std::string RecordPath(const TItemFileData* record);

class TResultListModel : public QAbstractTableModel, public core::TResultListView {
    Q_OBJECT
public:
    explicit TResultListModel(std::vector<ResultColumn> columns, QObject* parent = nullptr);
    ~TResultListModel() override;

    const std::vector<ResultColumn>& Columns() const { return m_columns; }
    void SetCaptions(const QStringList& captions);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    // Display texts per column; the decoration of the Name column is the row's file icon, looked up
    // the first time the row is shown and kept in the record's IconIndex. A row without a record
    // gives nothing.
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Rows dragged out of the list carry their files (text/uri-list from the exact path bytes).
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    // TResultListView, called by the search core on the UI thread.
    int32_t RowCount() const override { return m_rows; }
    void RemoveRow(int32_t row) override;
    void AppendRow() override;
    void SetRowCount(int32_t count) override;
    void Repaint() override;

private:
    std::vector<ResultColumn> m_columns;
    QStringList m_captions;
    int32_t m_rows = 0;
};

} // namespace kestrel::views
