#include "frm_search_main.h"

#include "UnitLanguageRegConfig.h"
#include "UnitSoftConfig.h"
#include "checkupdate.h"
#include "data_thread.h"
#include "frm_search_results.h"
#include "image_button.h"
#include "images.h"
#include "placement.h"
#include "query.h"
#include "typing_pace.h"
#include "unit_function.h"
#include "unit_main.h"
#include "unit_settings.h"
#include "x11_raw_keys.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScopeGuard>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWindow>

namespace kestrel::app {

config::TKestrelfindSoftConfig* SoftConfig = nullptr;

namespace {

constexpr int kBoxWidth = 565;
constexpr int kBoxHeight = 34;
constexpr int kCornerRadius = 6;

// A picture that fills its rectangle (the box's background, the logo).
class TPicture : public QWidget {
public:
    TPicture(const QIcon& picture, bool outline, QWidget* parent)
        : QWidget(parent), m_picture(picture), m_outline(outline) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        if (m_outline) {
            // The box: white, the background picture, then a rounded outline on the window's edge.
            painter.fillRect(rect(), Qt::white);
            m_picture.paint(&painter, rect(), Qt::AlignCenter);
            painter.setPen(QPen(QColor(0x94, 0xa3, 0xb8), 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius,
                                    kCornerRadius);
        } else {
            m_picture.paint(&painter, rect(), Qt::AlignCenter);
        }
    }

private:
    QIcon m_picture;
    bool m_outline;
};

ScreenRect ToScreenRect(const QRect& r) {
    return ScreenRect{r.x(), r.y(), r.width(), r.height()};
}

QRect WorkArea() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
}

} // namespace

QString WebSearchUrl(const QString& text) {
    const QString collapsed = QString::fromStdU16String(core::CollapseStars(text.toStdU16String()));
    const QByteArray encoded = QByteArray(kWebSearchAddress) + "?q=" + QUrl::toPercentEncoding(collapsed);
    return QString::fromLatin1(encoded);
}

TfrmSearchMain::TfrmSearchMain(const config::TLanguage& language)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_language(language) {
    setObjectName(QStringLiteral("frmSearchMain"));
    setWindowTitle(QStringLiteral("Kestrel Find"));
    setWindowIcon(views::ImagePicture(QStringLiteral("kestrelfind.png")));
    setFixedSize(kBoxWidth, kBoxHeight);

    // The outline: a rectangle with corners rounded 6 by 6.
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 0, kBoxWidth, kBoxHeight), kCornerRadius, kCornerRadius);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));

    // The hot key: Ctrl presses from anywhere on the display. Without X11 the program runs without it.
    m_rawKeys = std::make_unique<platform::X11RawKeys>();
    connect(m_rawKeys.get(), &platform::X11RawKeys::ctrlPressed, this, &TfrmSearchMain::HotkeyPressed);
    m_rawKeys->start();

    GroupList.clear();

    imgMain = new TPicture(views::ImagePicture(QStringLiteral("kestrelfind_bg_searchmain.png")), true, this);
    imgMain->setObjectName(QStringLiteral("imgMain"));
    imgMain->setGeometry(0, 0, kBoxWidth, kBoxHeight);
    imaLogo = new TPicture(views::ImagePicture(QStringLiteral("logo.png")), false, this);
    imaLogo->setObjectName(QStringLiteral("imaLogo"));
    imaLogo->setGeometry(8, 1, 32, 32);
    edtSearch = new QLineEdit(this);
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    edtSearch->setGeometry(64, 6, 417, 21);
    edtSearch->setFrame(false);
    edtSearch->setStyleSheet(QStringLiteral("QLineEdit { background: white; border: 1px solid #cbd5e1;"
                                            " border-radius: 3px; padding: 0 4px; color: #0f172a; }"
                                            "QLineEdit:focus { border-color: #60a5fa; }"));
    imgSearch = new views::TZevImageBtn(this);
    imgSearch->setObjectName(QStringLiteral("imgSearch"));
    imgSearch->setGeometry(494, 5, 61, 25);
    imgSearch->SetPictures(views::ImagePicture(QStringLiteral("search_down.png")),
                           views::ImagePicture(QStringLiteral("search_hot.png")),
                           views::ImagePicture(QStringLiteral("search_up.png")));
    imgMenu = new views::TZevImageBtn(this);
    imgMenu->setObjectName(QStringLiteral("imgMenu"));
    imgMenu->setGeometry(45, 7, 14, 22);
    imgMenu->SetPictures(views::ImagePicture(QStringLiteral("menu_down.png")),
                         views::ImagePicture(QStringLiteral("menu_hot.png")),
                         views::ImagePicture(QStringLiteral("menu_up.png")));
    setTabOrder(edtSearch, imgSearch);

    dxbrpmnRMenu = new QMenu(this);
    dxbrpmnRMenu->setObjectName(QStringLiteral("dxbrpmnRMenu"));
    auto item = [this](const char* name) {
        QAction* action = dxbrpmnRMenu->addAction(QString());
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    dxbrbtnFullMode = item("dxbrbtnFullMode");
    dxbrpmnRMenu->addSeparator();
    dxbrbtnMatchPath = item("dxbrbtnMatchPath");
    dxbrbtnMatchPath->setCheckable(true);
    dxbrbtnOptions = item("dxbrbtnOptions");
    dxbrpmnRMenu->addSeparator();
    dxbrbtnHelp = item("dxbrbtnHelp");
    dxbrbtnHomePage = item("dxbrbtnHomePage");
    dxbrbtnCheckforUpdate = item("dxbrbtnCheckforUpdate");
    dxbrpmnRMenu->addSeparator();
    dxbrbtnExit = item("dxbrbtnExit");
    connect(dxbrbtnFullMode, &QAction::triggered, this, &TfrmSearchMain::dxbrbtnFullModeClick);
    connect(dxbrbtnMatchPath, &QAction::triggered, this, &TfrmSearchMain::dxbrbtnMatchPathClick);
    connect(dxbrbtnOptions, &QAction::triggered, this, &TfrmSearchMain::dxbrbtnOptionsClick);
    connect(dxbrbtnHelp, &QAction::triggered, this, &TfrmSearchMain::dxbrbtnHelpClick);
    connect(dxbrbtnHomePage, &QAction::triggered, this, &TfrmSearchMain::dxbrbtnHomePageClick);
    connect(dxbrbtnExit, &QAction::triggered, this, &TfrmSearchMain::dxbrbtnExitClick);
    connect(dxbrbtnCheckforUpdate, &QAction::triggered, this, &TfrmSearchMain::dxbrbtnCheckforUpdateClick);

    InitLanguages();

    core::BuildDriveList(core::DriveList);

    SoftConfig = new config::TKestrelfindSoftConfig(config::kHkeyCurrentUser,
                                                    QString::fromLatin1(config::kProgramKeyPath));
    SoftConfig->LoadSettings();

    m_initThread = std::make_unique<core::TInitThread>();

    core::StartMenuPattern = core::BuildStartMenuPattern();

    const core::GroupLoadResult groups = core::LoadGroups(core::GroupFilePath(), GroupList);
    if (groups.outcome == core::GroupLoadOutcome::BrokenFile)
        QTimer::singleShot(0, this, [this, message = groups.message] { ShowGroupFileProblem(message); });

    ResultsForm = new views::TfrmSearchResults(m_language);
    ResultsForm->SetGroupList(&GroupList);

    const ScreenPoint home = BoxHomePosition(ToScreenRect(WorkArea()), kBoxWidth, kBoxHeight);
    move(home.x, home.y);

    // The check runs on a thread of its own and says nothing unless a newer version exists.
    if (SoftConfig->SettingsSwitches.AutoUpdata)
        dialogs::TCheckUpdate::Start(m_language);

    m_typingPace = std::make_unique<views::TTypingPace>(this, [this] { RunTyping(); });
    connect(edtSearch, &QLineEdit::textChanged, this, &TfrmSearchMain::edtSearchChange);
    connect(edtSearch, &QLineEdit::returnPressed, this, &TfrmSearchMain::edtSearchKeyPress);
    connect(imgSearch, &QAbstractButton::clicked, this, &TfrmSearchMain::imgSearchClick);
    connect(imgMenu, &QAbstractButton::clicked, this, &TfrmSearchMain::imgMenuClick);
    imgMain->installEventFilter(this);
    imaLogo->installEventFilter(this);

    // The drop-down follows the box: on moves and resizes of either and on changes of the screens.
    connect(ResultsForm, &views::TfrmSearchResults::resized, this, &TfrmSearchMain::tmrFormMobileTimer);
    auto watchScreen = [this](QScreen* screen) {
        if (screen)
            connect(screen, &QScreen::availableGeometryChanged, this, &TfrmSearchMain::tmrFormMobileTimer,
                    Qt::UniqueConnection);
    };
    for (QScreen* screen : QGuiApplication::screens())
        watchScreen(screen);
    connect(qApp, &QGuiApplication::screenAdded, this, [this, watchScreen](QScreen* screen) {
        watchScreen(screen);
        tmrFormMobileTimer();
    });
    connect(qApp, &QGuiApplication::screenRemoved, this, &TfrmSearchMain::tmrFormMobileTimer);
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, &TfrmSearchMain::tmrFormMobileTimer);
    tmrFormMobileTimer();
    edtSearch->setFocus();
}

TfrmSearchMain::~TfrmSearchMain() {
    if (!m_closed)
        close();
    m_rawKeys.reset();
    GroupList.clear();
}

bool TfrmSearchMain::HotkeyListening() const {
    return m_rawKeys && m_rawKeys->isActive();
}

void TfrmSearchMain::InitLanguages() {
    auto text = [this](const char* id) { return m_language.GetText(QString::fromLatin1(id)); };
    const std::pair<QAction*, const char*> items[] = {
        {dxbrbtnFullMode, "3701001"}, {dxbrbtnMatchPath, "3703017"}, {dxbrbtnOptions, "3701002"},
        {dxbrbtnHelp, "3703007"},     {dxbrbtnHomePage, "3703005"},  {dxbrbtnCheckforUpdate, "3703024"},
        {dxbrbtnExit, "3701003"},
    };
    for (const auto& [action, id] : items) {
        action->setText(text(id));
        action->setToolTip(text(id));
    }
    imgSearch->setToolTip(text("3701004"));
}

void TfrmSearchMain::edtSearchChange(const QString& text) {
    core::SortState = core::TSortState{false, -1};
    core::RefreshInPlace = false;
    if (!ResultsForm)
        return;
    if (text.isEmpty()) {
        m_typingPace->Stop();
        ResultsForm->hide();
        return;
    }
    m_typingPace->Changed();
}

void TfrmSearchMain::RunTyping() {
    const QString text = edtSearch->text();
    if (!ResultsForm || text.isEmpty())
        return;
    ResultsForm->SearchText = text;
    ResultsForm->Pane->imgAllClick();
    if (!ResultsForm->isVisible()) {
        tmrFormMobileTimer();
        ResultsForm->show();
    }
    ResultsForm->raise();
    if (isVisible()) {
        activateWindow();
        edtSearch->setFocus();
    }
}

void TfrmSearchMain::edtSearchKeyPress() {
    if (SoftConfig && SoftConfig->SettingsSwitches.SearchEnterKey)
        imgSearchClick();
}

void TfrmSearchMain::imgSearchClick() {
    QDesktopServices::openUrl(QUrl::fromEncoded(WebSearchUrl(edtSearch->text()).toLatin1()));
}

void TfrmSearchMain::imgMenuClick() {
    dxbrpmnRMenu->popup(mapToGlobal(QPoint(0, height())));
}

void TfrmSearchMain::imaLogoDblClick() {
    if (ResultsForm)
        ResultsForm->hide();
    close();
}

void TfrmSearchMain::tmrFormMobileTimer() {
    if (!ResultsForm)
        return;
    const DropDownPlace place =
        DropDownPosition(ToScreenRect(WorkArea()), ToScreenRect(geometry()), ResultsForm->height());
    if (ResultsForm->pos() != QPoint(place.topLeft.x, place.topLeft.y))
        ResultsForm->move(place.topLeft.x, place.topLeft.y);
}

void TfrmSearchMain::HotkeyPressed(qint64 utcMs) {
    if (!SoftConfig || !SoftConfig->SettingsSwitches.StartHotkey || m_closed)
        return;
    if (m_hotkey.press(utcMs) != HotkeyPress::Toggle)
        return;
    if (FullForm) {
        if (FullForm->isVisible()) {
            FullForm->hide();
        } else {
            FullForm->show();
            FullForm->raise();
            FullForm->activateWindow();
        }
        return;
    }
    if (isVisible()) {
        hide();
    } else {
        show();
        raise();
        activateWindow();
        edtSearch->setFocus();
    }
    if (ResultsForm)
        ResultsForm->hide();
}

void TfrmSearchMain::dxbrbtnFullModeClick() {
    if (FullForm || m_closed)
        return;
    auto form = std::make_unique<views::TfrmMain>(m_language, this);
    FullForm = form.get();
    // Whatever happens below, the window is freed and FullForm cleared.
    const auto release = qScopeGuard([this, &form] {
        FullForm = nullptr;
        form.reset();
    });
    show();
    hide();
    m_typingPace->Stop();
    if (ResultsForm)
        ResultsForm->hide();
    form->SetGroupList(&GroupList);
    form->dxbrbtnMatchPath->setChecked(dxbrbtnMatchPath->isChecked());
    form->SearchEnterKey = SoftConfig && SoftConfig->SettingsSwitches.SearchEnterKey;
    form->WebSearch = [](const QString& text) {
        QDesktopServices::openUrl(QUrl::fromEncoded(WebSearchUrl(text).toLatin1()));
    };
    form->ShowOptions = [this](QWidget* owner, bool& languageChanged) {
        return RunOptions(owner, languageChanged);
    };
    form->edtSearch->setText(edtSearch->text());
    form->ShowModal();
    if (m_closed)
        return;
    dxbrbtnMatchPath->setChecked(form->dxbrbtnMatchPath->isChecked());
    core::MatchPath = dxbrbtnMatchPath->isChecked();
    if (ResultsForm)
        ResultsForm->SetGroupList(&GroupList);
    if (form->LanguageChanged) {
        InitLanguages();
        if (ResultsForm)
            ResultsForm->InitLanguages();
    }
    show();
    raise();
    activateWindow();
    edtSearch->clear();
    edtSearch->setFocus();
}

void TfrmSearchMain::dxbrbtnMatchPathClick() {
    core::MatchPath = dxbrbtnMatchPath->isChecked();
    if (!ResultsForm)
        return;
    try {
        ResultsForm->Pane->ClickCurrentGroupButton();
    } catch (...) {
        ResultsForm->Pane->imgAllClick();
    }
}

void TfrmSearchMain::dxbrbtnOptionsClick() {
    bool languageChanged = false;
    RunOptions(this, languageChanged);
}

bool TfrmSearchMain::RunOptions(QWidget* owner, bool& languageChanged) {
    // main() creates the catalogue writable; the box itself only reads it, the dialog may switch it.
    dialogs::TfrmSetting setting(const_cast<config::TLanguage&>(m_language), owner);
    setting.GroupList = &GroupList;
    setting.SoftConfig = SoftConfig;
    if (SoftConfig)
        setting.Switches = SoftConfig->SettingsSwitches;
    // The box sits in a corner: the dialog goes to the middle of the screen instead of over it.
    QScreen* screen = owner->screen();
    if (owner == this && screen)
        setting.move(screen->availableGeometry().center() - setting.rect().center());
    if (setting.exec() != QDialog::Accepted)
        return false;
    languageChanged = setting.LanguageChanged;
    if (!ResultsForm)
        return true;
    ResultsForm->SetGroupList(setting.GroupList);
    if (setting.LanguageChanged) {
        InitLanguages();
        ResultsForm->InitLanguages();
    }
    // Rebuilt also while the drop-down is hidden, so that it never shows the buttons of removed groups.
    ResultsForm->GroupButtonInit();
    ResultsForm->Pane->SetCurrentGroupButton(nullptr);
    return true;
}

void TfrmSearchMain::dxbrbtnHelpClick() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHelpAddress)));
}

void TfrmSearchMain::dxbrbtnCheckforUpdateClick() {
    dialogs::TCheckUpdate::Start(m_language);
}

void TfrmSearchMain::dxbrbtnHomePageClick() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHomePageAddress)));
}

void TfrmSearchMain::dxbrbtnExitClick() {
    close();
}

void TfrmSearchMain::RestoreFromSecondInstance() {
    if (m_closed)
        return;
    showNormal();
    raise();
    activateWindow();
    edtSearch->setFocus();
}

void TfrmSearchMain::ShowGroupFileProblem(const QString& message) {
    auto* box = new QMessageBox(QMessageBox::Warning, m_language.GetText(QStringLiteral("3703028")), message,
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TfrmSearchMain::closeEvent(QCloseEvent* event) {
    event->accept();
    if (m_closed)
        return;
    m_closed = true;
    m_typingPace->Stop();
    if (ResultsForm)
        ResultsForm->hide();
    hide();
    delete SoftConfig;
    SoftConfig = nullptr;
    StopFileListensThread(nullptr);
    StopFindThread(nullptr);
    // No search may hand over into the windows from here on.
    core::StopSearchThreads();
    if (m_initThread && m_initThread->Running())
        m_initThread->WaitFor();
    m_initThread.reset();
    delete ResultsForm;
    ResultsForm = nullptr;
    QCoreApplication::quit();
}

void TfrmSearchMain::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    tmrFormMobileTimer();
}

void TfrmSearchMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    tmrFormMobileTimer();
}

bool TfrmSearchMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched != imgMain && watched != imaLogo)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        if (watched == imaLogo) {
            imaLogoDblClick();
            return true;
        }
        break;
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        // Let the window manager move the box as if its title bar were dragged; without one, move
        // it here.
        m_dragging = !(windowHandle() && windowHandle()->startSystemMove());
        m_dragOffset = mouse->globalPosition().toPoint() - pos();
        return true;
    }
    case QEvent::MouseMove:
        if (m_dragging) {
            move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - m_dragOffset);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kestrel::app
