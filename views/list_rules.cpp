#include "list_rules.h"

namespace kestrel::views {

int FindRowByPrefix(const QString& typed, int rowCount, int startRow, bool wrap, const RowName& rowName,
                    const QLocale& locale) {
    if (rowCount <= 0)
        return -1;
    if (startRow < 0 || startRow >= rowCount)
        startRow = 0;
    const QString prefix = locale.toUpper(typed);
    int row = startRow;
    do {
        const std::optional<QString> name = rowName(row);
        if (name && locale.toUpper(*name).startsWith(prefix))
            return row;
        if (++row == rowCount) {
            if (!wrap)
                return -1;
            row = 0;
        }
    } while (row != startRow);
    return -1;
}

int StatusTextLimit(int barWidth, int firstPanelWidth) {
    const long long limit = (static_cast<long long>(barWidth) - firstPanelWidth) * 165 / 1000;
    return limit < 0 ? 0 : static_cast<int>(limit);
}

QString ShortenStatusText(const QString& text, int limit) {
    if (limit < 0)
        limit = 0;
    if (text.size() <= limit)
        return text;
    qsizetype keep = limit;
    if (keep > 0 && text[keep - 1].isHighSurrogate() && text[keep].isLowSurrogate())
        --keep;
    return text.left(keep) + QStringLiteral("...");
}

} // namespace kestrel::views
