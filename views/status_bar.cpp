#include "status_bar.h"

#include <QHBoxLayout>
#include <QLabel>

namespace kestrel::views {

TStatusBar::TStatusBar(int firstPanelWidth, QWidget* parent)
    : QWidget(parent), m_firstPanelWidth(firstPanelWidth) {
    setObjectName(QStringLiteral("dxstsbrButtom"));
    setFixedHeight(20);
    setAttribute(Qt::WA_StyledBackground);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < 2; ++i) {
        m_panels[i] = new QLabel(this);
        m_panels[i]->setObjectName(QStringLiteral("panel%1").arg(i + 1));
        m_panels[i]->setContentsMargins(6, 0, 4, 0);
        m_panels[i]->setTextFormat(Qt::PlainText);
    }
    m_panels[0]->setFixedWidth(firstPanelWidth);
    m_panels[0]->setProperty("firstPanel", true);
    m_panels[1]->setMinimumWidth(0);
    m_panels[1]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(m_panels[0]);
    layout->addWidget(m_panels[1], 1);
    setStyleSheet(QStringLiteral("#dxstsbrButtom { background: #f1f5f9; border-top: 1px solid #cbd5e1; }"
                                 "#dxstsbrButtom QLabel { color: #334155; }"
                                 "#panel1 { border-right: 1px solid #cbd5e1; }"));
}

void TStatusBar::SetPanelText(int32_t panel, const QString& text) {
    if (panel == 0 || panel == 1)
        m_panels[panel]->setText(text);
}

QString TStatusBar::PanelText(int32_t panel) const {
    return panel == 0 || panel == 1 ? m_panels[panel]->text() : QString();
}

} // namespace kestrel::views
