#include "image_button.h"

#include <QPainter>

namespace kestrel::views {

TZevImageBtn::TZevImageBtn(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void TZevImageBtn::SetPictures(const QIcon& down, const QIcon& hot, const QIcon& up) {
    m_down = down;
    m_hot = hot;
    m_up = up;
    update();
}

QSize TZevImageBtn::sizeHint() const {
    return QSize(198, 23);
}

void TZevImageBtn::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QIcon* face = &m_up;
    if (isDown() || isChecked())
        face = &m_down;
    else if (underMouse())
        face = &m_hot;
    if (!face->isNull())
        face->paint(&painter, rect(), Qt::AlignCenter, QIcon::Normal, QIcon::Off);

    int x = m_iconMargin;
    if (!m_iconPicture.isNull()) {
        const int side = 16;
        m_iconPicture.paint(&painter, QRect(x, (height() - side) / 2, side, side));
        x += side;
    }
    if (!text().isEmpty()) {
        x += m_captionMargin;
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawText(QRect(x, 0, width() - x - 2, height()), Qt::AlignVCenter | Qt::AlignLeft,
                         fontMetrics().elidedText(text(), Qt::ElideRight, width() - x - 2));
    }
}

void TZevImageBtn::enterEvent(QEnterEvent* event) {
    update();
    QAbstractButton::enterEvent(event);
}

void TZevImageBtn::leaveEvent(QEvent* event) {
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace kestrel::views
