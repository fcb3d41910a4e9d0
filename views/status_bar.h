// dxstsbrButtom: the status bar of a result window, two text panels. The first has a fixed width (the
// result count), the second takes the rest (the selection text).
#pragma once

#include <QWidget>

#include "search_view.h"

class QLabel;

namespace kestrel::views {

class TStatusBar : public QWidget, public core::TStatusBarView {
    Q_OBJECT
public:
    TStatusBar(int firstPanelWidth, QWidget* parent = nullptr);

    // TStatusBarView: panel 0 or 1; other panels are ignored.
    void SetPanelText(int32_t panel, const QString& text) override;
    QString PanelText(int32_t panel) const;
    int FirstPanelWidth() const { return m_firstPanelWidth; }

private:
    int m_firstPanelWidth;
    QLabel* m_panels[2];
};

} // namespace kestrel::views
