// What a finished search changes in a window (UnitDataThread): the row count of its result list and the
// texts of its status bar. The windows implement these over their own controls; the search core calls
// them on the UI thread only, when it hands a finished search over (data_thread.h).
#pragma once

#include <QString>

#include <cstdint>

namespace kestrel::core {

// The result list of a window as the search core sees it: a virtual list whose only content is a row
// count. Row i shows ResultAt(i) whenever it is painted; the list stores no rows of its own.
//
// A window implements it over its QAbstractItemModel: RowCount is the model's own count (not
// ResultList's), RemoveRow and AppendRow wrap beginRemoveRows/beginInsertRows of one row at the end,
// SetRowCount resets the model to the new count, Repaint signals dataChanged over the rows so the
// view re-reads them. By the time any of these is called, ResultList already holds the new results.
//
// Destroying a view (a window closing while its search runs) detaches it from every pending search:
// the search core will not call it again.
class TResultListView {
public:
    TResultListView() = default;
    TResultListView(const TResultListView&) = delete;
    TResultListView& operator=(const TResultListView&) = delete;
    virtual ~TResultListView();

    virtual int32_t RowCount() const = 0;
    // Removes row `row`, which is always the last row.
    virtual void RemoveRow(int32_t row) = 0;
    // Appends one row at the end.
    virtual void AppendRow() = 0;
    // Sets the row count in one step.
    virtual void SetRowCount(int32_t count) = 0;
    // Has every shown row read again from ResultList.
    virtual void Repaint() = 0;
};

// The status bar of a window: panel 0 is the first panel (the result count), panel 1 the second (the
// selection text). Destroying it detaches it like a TResultListView.
class TStatusBarView {
public:
    TStatusBarView() = default;
    TStatusBarView(const TStatusBarView&) = delete;
    TStatusBarView& operator=(const TStatusBarView&) = delete;
    virtual ~TStatusBarView();

    virtual void SetPanelText(int32_t panel, const QString& text) = 0;
};

} // namespace kestrel::core
