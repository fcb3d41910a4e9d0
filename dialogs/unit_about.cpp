#include "unit_about.h"

#include "UnitLanguageRegConfig.h"
#include "file_version.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QWindow>

#include <algorithm>

namespace kestrel::dialogs {

namespace {

constexpr int kClientWidth = 354;
constexpr int kClientHeight = 163;
constexpr int kBannerHeight = 73;

// The program's icon: the build tree keeps the pictures in Images next to the program, an installed
// program in share/kestrelfind/Images beside its bin folder.
QPixmap ProgramIcon() {
    const QString folder = config::ProgramFolder();
    for (const QString& images :
         {folder + QStringLiteral("/Images"), folder + QStringLiteral("/../share/kestrelfind/Images")}) {
        const QPixmap icon(QDir::cleanPath(images + QStringLiteral("/kestrelfind.png")));
        if (!icon.isNull())
            return icon;
    }
    return {};
}

QLabel* MakeLabel(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    // The design sizes are the smallest; texts of other languages may need more room.
    label->setGeometry(left, top, width, height);
    label->setMinimumSize(width, height);
    return label;
}

} // namespace

TZevImage::TZevImage(QWidget* parent) : QWidget(parent), m_logo(ProgramIcon()) {}

void TZevImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, QColor(0x2f, 0x6f, 0xb7));
    gradient.setColorAt(1, QColor(0x17, 0x3f, 0x73));
    painter.fillRect(rect(), gradient);
    const int side = height() - 20;
    int textLeft = 12;
    if (!m_logo.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(QRect(12, 10, side, side), m_logo);
        textLeft += side + 12;
    }
    QFont font = painter.font();
    font.setPointSizeF(font.pointSizeF() * 1.8);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(textLeft, 0, width() - textLeft, height()), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Kestrel Find"));
}

void TZevImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    // The window manager moves the dialog as if its title bar were dragged; without one, follow the
    // pointer ourselves.
    QWindow* handle = window()->windowHandle();
    if (handle && handle->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
}

void TZevImage::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        window()->move(event->globalPosition().toPoint() - m_dragOffset);
}

void TZevImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
}

TfrmAbout::TfrmAbout(const config::TLanguage& language, QWidget* parent, const QString& programFile)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_language(language), m_programFile(programFile) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(kClientWidth, kClientHeight);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    imgAbout = new TZevImage(this);
    imgAbout->setObjectName(QStringLiteral("imgAbout"));
    imgAbout->setGeometry(0, 0, kClientWidth, kBannerHeight);

    labVersionInformation = MakeLabel(this, "labVersionInformation", 11, 85, 39, 13);
    labWebsiteInformation = MakeLabel(this, "labWebsiteInformation", 11, 112, 43, 13);
    labWebsite = MakeLabel(this, "labWebsite", 60, 112, 94, 13);
    labCompanyInformation = MakeLabel(this, "labCompanyInformation", 11, 138, 260, 13);
    labWebsite->setCursor(Qt::PointingHandCursor);
    labWebsite->setTextFormat(Qt::RichText);
    labWebsite->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    labWebsite->setOpenExternalLinks(false);
    const QString site = QString::fromLatin1(kWebsiteAddress);
    labWebsite->setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(site, site.toHtmlEscaped()));
    connect(labWebsite, &QLabel::linkActivated, this, [this] { labWebsiteClick(); });

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(272, 132, 75, 25);
    btnOK->setDefault(true);
    btnOK->setFocus();
    // OK closes with the modal result Cancel, as the dialog changes nothing.
    connect(btnOK, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmAbout::InitLanguages() {
    setWindowTitle(m_language.GetText(QStringLiteral("3707001")));
    const QString program =
        m_programFile.isEmpty() ? QFile::symLinkTarget(QStringLiteral("/proc/self/exe")) : m_programFile;
    const QString version = QString::fromStdString(
        core::FileVersionText(QFile::encodeName(program).toStdString(), "FileVersion"));
    labVersionInformation->setText(m_language.GetText(QStringLiteral("3707002")) + QLatin1Char(' ') +
                                   version);
    labCompanyInformation->setText(m_language.GetText(QStringLiteral("3707004")));
    labWebsiteInformation->setText(m_language.GetText(QStringLiteral("3707003")));
    // The labels grow with their texts (the link follows the caption before it); the notice keeps its
    // width so that it stays clear of the OK button.
    for (QLabel* label : {labVersionInformation, labWebsiteInformation})
        label->adjustSize();
    labWebsite->move(std::max(60, labWebsiteInformation->geometry().right() + 6), labWebsite->y());
    labWebsite->adjustSize();
}

void TfrmAbout::labWebsiteClick() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kWebsiteAddress)));
}

void TfrmAbout::showEvent(QShowEvent* event) {
    InitLanguages();
    // Centred on the window that opened it. Qt's own placement guesses the frame of a window manager
    // that may not be there; the client areas' centres are what the eye compares.
    // Kept inside the owner's screen: the compact box sits at the screen's bottom edge.
    if (const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr) {
        QRect placed(owner->geometry().center() - rect().center(), size());
        if (const QScreen* screen = owner->screen()) {
            const QRect area = screen->availableGeometry();
            placed.moveLeft(
                std::clamp(placed.left(), area.left(), std::max(area.left(), area.right() - width())));
            placed.moveTop(
                std::clamp(placed.top(), area.top(), std::max(area.top(), area.bottom() - height())));
        }
        move(placed.topLeft());
    }
    QDialog::showEvent(event);
}

} // namespace kestrel::dialogs
