// Rules of the result list that need no widget: the type-ahead find over the rows and the shortening
// of the status text. QtCore only.
#pragma once

#include <QLocale>
#include <QString>

#include <functional>
#include <optional>

namespace kestrel::views {

// The name shown in row i, or nothing when the row has no record (such a row never matches).
using RowName = std::function<std::optional<QString>(int row)>;

// The type-ahead find: the first row, scanning from startRow upwards, whose name begins with typed,
// both upper-cased by locale's rules. After the last row the scan goes on at row 0 when wrap is set,
// and it stops, without a match, when it comes back to startRow. A startRow outside 0..rowCount-1
// starts at row 0. Returns the row, or -1 when none matches. Calls rowName at most once per row.
int FindRowByPrefix(const QString& typed, int rowCount, int startRow, bool wrap, const RowName& rowName,
                    const QLocale& locale = QLocale());

// How many characters of a status text fit in the selection panel: (bar width - width of panel 1)
// x 165 / 1000, about six pixels a character; never below 0.
int StatusTextLimit(int barWidth, int firstPanelWidth);

// The text cut to limit characters followed by "..." when it is longer than limit, else unchanged. A
// cut never splits a surrogate pair: it then keeps one code unit less.
QString ShortenStatusText(const QString& text, int limit);

} // namespace kestrel::views
