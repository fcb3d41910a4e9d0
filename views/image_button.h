// TZevImageBtn: a flat button drawn from pictures, one per state (Down while pressed or checked, Hot
// under the mouse, Up otherwise), with an optional small icon and a caption left-aligned after it.
// Buttons that share a QButtonGroup behave as radio buttons.
#pragma once

#include <QAbstractButton>
#include <QIcon>

namespace kestrel::views {

class TZevImageBtn : public QAbstractButton {
    Q_OBJECT
public:
    explicit TZevImageBtn(QWidget* parent = nullptr);

    void SetPictures(const QIcon& down, const QIcon& hot, const QIcon& up);
    const QIcon& Down() const { return m_down; }
    const QIcon& Hot() const { return m_hot; }
    const QIcon& Up() const { return m_up; }

    // The icon drawn left of the caption, iconMargin pixels from the left edge; the caption starts
    // captionMargin pixels after the icon (or after the icon margin when there is no icon).
    void SetIconPicture(const QIcon& icon) {
        m_iconPicture = icon;
        update();
    }
    void SetMargins(int iconMargin, int captionMargin) {
        m_iconMargin = iconMargin;
        m_captionMargin = captionMargin;
        update();
    }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QIcon m_down, m_hot, m_up, m_iconPicture;
    int m_iconMargin = 3;
    int m_captionMargin = 5;
};

} // namespace kestrel::views
