#include "frm_search_results.h"

#include "image_button.h"

#include <QPainter>
#include <QShowEvent>
#include <QVBoxLayout>

namespace kestrel::views {

TfrmSearchResults::TfrmSearchResults(const config::TLanguage& language, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      Pane(new TResultPane(TResultPaneStyle::DropDown(), language, this)) {
    setObjectName(QStringLiteral("frmSearchResults"));
    setWindowTitle(QStringLiteral("frmSearchResults"));
    // Showing the list must not take the keyboard from the search box.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(Pane);
    resize(564, 307);
    Pane->SetSearchTextSource([this] { return SearchText; });
}

void TfrmSearchResults::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    Pane->GroupButtonInit();
    Pane->SetCurrentGroupButton(Pane->imgAll);
}

void TfrmSearchResults::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit resized();
}

void TfrmSearchResults::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // A thin outline, as the box has.
    QPainter painter(this);
    painter.setPen(QColor(0x94, 0xa3, 0xb8));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace kestrel::views
