#include "unit_main.h"

#include "typing_pace.h"

#include "UnitLanguageRegConfig.h"
#include "checkupdate.h"
#include "clipboard.h"
#include "full_mode_rules.h"
#include "image_button.h"
#include "images.h"
#include "shared_state.h"
#include "unit_about.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace kestrel::views {

namespace {

constexpr int kDesignWidth = 831;
constexpr int kDesignHeight = 565;
constexpr int kMinimumHeight = 435;
constexpr int kBannerHeight = 34;

// The banner: its picture tiled across the window's width.
class TBanner : public QWidget {
public:
    explicit TBanner(QWidget* parent)
        : QWidget(parent), m_tile(ImagePicture(QStringLiteral("kestrelfind_bg_searchmain.png"))
                                      .pixmap(QSize(564, kBannerHeight))) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        if (!m_tile.isNull())
            painter.drawTiledPixmap(rect(), m_tile);
    }

private:
    QPixmap m_tile;
};

// A picture stretched over its rectangle (the logo).
class TStretchedPicture : public QWidget {
public:
    TStretchedPicture(const QIcon& picture, QWidget* parent) : QWidget(parent), m_picture(picture) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        m_picture.paint(&painter, rect());
    }

private:
    QIcon m_picture;
};

} // namespace

TfrmMain::TfrmMain(const config::TLanguage& language, QWidget* parent)
    : QWidget(parent, Qt::Window), Pane(new TResultPane(TResultPaneStyle::FullWindow(), language, nullptr)),
      m_language(language) {
    setObjectName(QStringLiteral("frmMain"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowIcon(ImagePicture(QStringLiteral("kestrelfind.png")));
    resize(kDesignWidth, kDesignHeight);
    setMinimumHeight(kMinimumHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    dxbrmngrMainMenu = new QMenuBar(this);
    dxbrmngrMainMenu->setObjectName(QStringLiteral("dxbrmngrMainMenu"));
    layout->setMenuBar(dxbrmngrMainMenu);

    imgTop = new TBanner(this);
    imgTop->setObjectName(QStringLiteral("imgTop"));
    imgTop->setFixedHeight(kBannerHeight);
    auto* banner = new QHBoxLayout(imgTop);
    banner->setContentsMargins(8, 1, 6, 1);
    banner->setSpacing(6);
    imaLogo = new TStretchedPicture(ImagePicture(QStringLiteral("logo.png")), imgTop);
    imaLogo->setObjectName(QStringLiteral("imaLogo"));
    imaLogo->setFixedSize(32, 32);
    banner->addWidget(imaLogo);
    imgSettings = new TZevImageBtn(imgTop);
    imgSettings->setObjectName(QStringLiteral("imgSettings"));
    imgSettings->setFixedSize(32, 32);
    imgSettings->hide();
    banner->addWidget(imgSettings);
    edtSearch = new QLineEdit(imgTop);
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    edtSearch->setFixedHeight(21);
    edtSearch->setStyleSheet(QStringLiteral("QLineEdit { background: white; border: 1px solid #cbd5e1;"
                                            " border-radius: 3px; padding: 0 4px; color: #0f172a; }"
                                            "QLineEdit:focus { border-color: #60a5fa; }"));
    banner->addWidget(edtSearch, 1);
    imgSearch = new TZevImageBtn(imgTop);
    imgSearch->setObjectName(QStringLiteral("imgSearch"));
    imgSearch->setFixedSize(61, 25);
    imgSearch->SetPictures(ImagePicture(QStringLiteral("search_down.png")),
                           ImagePicture(QStringLiteral("search_hot.png")),
                           ImagePicture(QStringLiteral("search_up.png")));
    // Corners cut by a 5 x 5 ellipse.
    QRegion shape(0, 0, 61, 25);
    for (const QPoint corner : {QPoint(0, 0), QPoint(58, 0), QPoint(0, 22), QPoint(58, 22)})
        shape -= QRegion(corner.x(), corner.y(), 3, 3)
                     .subtracted(
                         QRegion(corner.x() == 0 ? 0 : 56, corner.y() == 0 ? 0 : 20, 5, 5, QRegion::Ellipse));
    imgSearch->setMask(shape);
    banner->addWidget(imgSearch);
    layout->addWidget(imgTop);

    Pane->setParent(this);
    layout->addWidget(Pane, 1);
    Pane->SetSearchTextSource([this] { return edtSearch->text(); });

    auto item = [](QMenu* menu, const char* name) {
        QAction* action = menu->addAction(QString());
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    mnuFile = dxbrmngrMainMenu->addMenu(QString());
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    dxbrbtnOpen = item(mnuFile, "dxbrbtnOpen");
    dxbrbtnOpenFolder = item(mnuFile, "dxbrbtnOpenFolder");
    mnuFile->addSeparator();
    dxbrlrgbtnExport = item(mnuFile, "dxbrlrgbtnExport");
    mnuFile->addSeparator();
    dxbrbtnClose = item(mnuFile, "dxbrbtnClose");

    mnuEdit = dxbrmngrMainMenu->addMenu(QString());
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    dxbrbtnCut = item(mnuEdit, "dxbrbtnCut");
    dxbrbtnCopy = item(mnuEdit, "dxbrbtnCopy");
    dxbrbtnPaste = item(mnuEdit, "dxbrbtnPaste");
    mnuEdit->addSeparator();
    dxbrbtnSelectAll = item(mnuEdit, "dxbrbtnSelectAll");
    dxbrbtnSelectAll->setCheckable(true);
    mnuEdit->addSeparator();
    dxbrbtnMatchPath = item(mnuEdit, "dxbrbtnMatchPath");
    dxbrbtnMatchPath->setCheckable(true);
    dxbrbtnOptions = item(mnuEdit, "dxbrbtnOptions");
    connect(dxbrbtnOptions, &QAction::triggered, this, &TfrmMain::dxbrbtnOptionsClick);

    mnuView = dxbrmngrMainMenu->addMenu(QString());
    mnuView->setObjectName(QStringLiteral("mnuView"));
    dxbrsbtmTextSize = mnuView->addMenu(QString());
    dxbrsbtmTextSize->setObjectName(QStringLiteral("dxbrsbtmTextSize"));
    dxbrbtnIncrease = item(dxbrsbtmTextSize, "dxbrbtnIncrease");
    dxbrbtnDecrease = item(dxbrsbtmTextSize, "dxbrbtnDecrease");
    dxbrbtnNormal = item(dxbrsbtmTextSize, "dxbrbtnNormal");
    dxbrsbtmArrangeIconsby = mnuView->addMenu(QString());
    dxbrsbtmArrangeIconsby->setObjectName(QStringLiteral("dxbrsbtmArrangeIconsby"));
    dxbrbtnName = item(dxbrsbtmArrangeIconsby, "dxbrbtnName");
    dxbrbtnPath = item(dxbrsbtmArrangeIconsby, "dxbrbtnPath");
    dxbrbtnSize = item(dxbrsbtmArrangeIconsby, "dxbrbtnSize");
    dxbrbtnDataModifild = item(dxbrsbtmArrangeIconsby, "dxbrbtnDataModifild");
    mnuView->addSeparator();
    dxbrbtnRefresh = item(mnuView, "dxbrbtnRefresh");

    mnuHelp = dxbrmngrMainMenu->addMenu(QString());
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    dxbrbtnHelp = item(mnuHelp, "dxbrbtnHelp");
    mnuHelp->addSeparator();
    dxbrbtnHomePage = item(mnuHelp, "dxbrbtnHomePage");
    dxbrbtnSupport = item(mnuHelp, "dxbrbtnSupport");
    dxbrbtnSupport->setVisible(false);
    dxbrbtnCheckForUpdate = item(mnuHelp, "dxbrbtnCheckForUpdate");
    mnuHelp->addSeparator();
    dxbrbtnAboutKestrelfind = item(mnuHelp, "dxbrbtnAboutKestrelfind");

    FileMenusManage(false);

    connect(dxbrbtnOpen, &QAction::triggered, this, &TfrmMain::dxbrbtnOpenClick);
    connect(dxbrbtnOpenFolder, &QAction::triggered, this, &TfrmMain::dxbrbtnOpenFolderClick);
    connect(dxbrlrgbtnExport, &QAction::triggered, this, &TfrmMain::dxbrlrgbtnExportClick);
    connect(dxbrbtnClose, &QAction::triggered, this, &TfrmMain::dxbrbtnCloseClick);
    connect(dxbrbtnCopy, &QAction::triggered, this, &TfrmMain::dxbrbtnCopyClick);
    connect(dxbrbtnSelectAll, &QAction::triggered, this, &TfrmMain::dxbrbtnSelectAllClick);
    connect(dxbrbtnMatchPath, &QAction::triggered, this, &TfrmMain::dxbrbtnMatchPathClick);
    connect(dxbrbtnIncrease, &QAction::triggered, this, &TfrmMain::dxbrbtnIncreaseClick);
    connect(dxbrbtnDecrease, &QAction::triggered, this, &TfrmMain::dxbrbtnDecreaseClick);
    connect(dxbrbtnNormal, &QAction::triggered, this, &TfrmMain::dxbrbtnNormalClick);
    connect(dxbrbtnName, &QAction::triggered, this, &TfrmMain::dxbrbtnNameClick);
    connect(dxbrbtnPath, &QAction::triggered, this, &TfrmMain::dxbrbtnPathClick);
    connect(dxbrbtnSize, &QAction::triggered, this, &TfrmMain::dxbrbtnSizeClick);
    connect(dxbrbtnDataModifild, &QAction::triggered, this, &TfrmMain::dxbrbtnDataModifildClick);
    connect(dxbrbtnRefresh, &QAction::triggered, this, &TfrmMain::dxbrbtnRefreshClick);
    connect(dxbrbtnHelp, &QAction::triggered, this, &TfrmMain::dxbrbtnHelpClick);
    connect(dxbrbtnHomePage, &QAction::triggered, this, &TfrmMain::dxbrbtnHomePageClick);
    connect(dxbrbtnCheckForUpdate, &QAction::triggered, this, &TfrmMain::dxbrbtnCheckForUpdateClick);
    connect(dxbrbtnAboutKestrelfind, &QAction::triggered, this, &TfrmMain::dxbrbtnAboutKestrelfindClick);

    connect(Pane, &TResultPane::selectionCountChanged, this,
            [this](int count) { FileMenusManage(count > 0); });
    connect(Pane, &TResultPane::listPressed, this, &TfrmMain::lvFilesClick);
    // A refresh that changes the rows may leave no row selected.
    connect(Pane->Model(), &QAbstractItemModel::modelReset, this,
            [this] { FileMenusManage(Pane->lvFiles->selectionModel()->hasSelection()); });

    m_typingPace = std::make_unique<TTypingPace>(this, [this] { RunTyping(); });
    connect(edtSearch, &QLineEdit::textChanged, this, &TfrmMain::edtSearchChange);
    connect(edtSearch, &QLineEdit::returnPressed, this, &TfrmMain::edtSearchKeyPress);
    connect(imgSearch, &QAbstractButton::clicked, this, &TfrmMain::imgSearchClick);
    Pane->lvFiles->installEventFilter(this);

    SetTextSize(kTextSizeNormal);
    InitLanguages();

    // Centred on the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TfrmMain::~TfrmMain() {
    if (m_modalLoop)
        m_modalLoop->quit();
}

void TfrmMain::ShowModal() {
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    QEventLoop loop;
    m_modalLoop = &loop;
    connect(this, &TfrmMain::closed, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::DialogExec);
    m_modalLoop = nullptr;
}

void TfrmMain::InitLanguages() {
    auto text = [this](const char* id) { return m_language.GetText(QString::fromLatin1(id)); };
    setWindowTitle(text("3700001"));
    mnuFile->setTitle(text("3703003"));
    mnuEdit->setTitle(text("3703004"));
    mnuView->setTitle(text("3703006"));
    mnuHelp->setTitle(text("3703007"));
    dxbrsbtmTextSize->setTitle(text("3703018"));
    dxbrsbtmArrangeIconsby->setTitle(text("3703019"));
    const std::pair<QAction*, const char*> items[] = {
        {dxbrbtnOpen, "3703008"},
        {dxbrbtnOpenFolder, "3703009"},
        {dxbrlrgbtnExport, "3703010"},
        {dxbrbtnClose, "3703011"},
        {dxbrbtnCut, "3703012"},
        {dxbrbtnCopy, "3703013"},
        {dxbrbtnPaste, "3703014"},
        {dxbrbtnSelectAll, "3703015"},
        {dxbrbtnMatchPath, "3703017"},
        {dxbrbtnOptions, "3701002"},
        {dxbrbtnIncrease, "3703021"},
        {dxbrbtnDecrease, "3703022"},
        {dxbrbtnNormal, "3703023"},
        {dxbrbtnName, "3702005"},
        {dxbrbtnPath, "3703001"},
        {dxbrbtnSize, "3702006"},
        {dxbrbtnDataModifild, "3702007"},
        {dxbrbtnRefresh, "3703020"},
        {dxbrbtnHelp, "3703007"},
        {dxbrbtnHomePage, "3703005"},
        {dxbrbtnSupport, "3703029"},
        {dxbrbtnCheckForUpdate, "3703024"},
        {dxbrbtnAboutKestrelfind, "3703025"},
    };
    for (const auto& [action, id] : items) {
        action->setText(text(id));
        action->setToolTip(text(id));
    }
    imgSearch->setToolTip(text("3701004"));
    Pane->InitLanguages();
}

void TfrmMain::FileMenusManage(bool enabled) {
    for (QAction* action : {dxbrbtnOpen, dxbrbtnOpenFolder, dxbrbtnCut, dxbrbtnCopy, dxbrbtnPaste})
        action->setEnabled(enabled);
}

void TfrmMain::edtSearchChange() {
    dxbrbtnSelectAll->setChecked(false);
    Pane->SetSelectAllDown(false);
    core::RefreshInPlace = false;
    core::SortState.SortKey = -1;
    m_typingPace->Changed();
}

void TfrmMain::RunTyping() {
    FileMenusManage(false);
    Pane->imgAllClick();
}

void TfrmMain::edtSearchKeyPress() {
    if (SearchEnterKey)
        imgSearchClick();
}

void TfrmMain::imgSearchClick() {
    if (WebSearch)
        WebSearch(edtSearch->text());
}

void TfrmMain::lvFilesClick() {
    dxbrbtnSelectAll->setChecked(false);
    Pane->SetSelectAllDown(false);
}

void TfrmMain::dxbrbtnOpenClick() {
    const std::string path = RecordPath(Pane->SelectedRecord());
    if (!path.empty())
        QDesktopServices::openUrl(QUrl::fromEncoded(platform::FileUriOf(path)));
}

void TfrmMain::dxbrbtnOpenFolderClick() {
    const std::string path = RecordPath(Pane->SelectedRecord());
    if (!path.empty())
        Pane->FileManager().showItem(path);
}

void TfrmMain::dxbrlrgbtnExportClick() {
    repaint();
    QFileDialog dlgSaveExport(this);
    dlgSaveExport.setObjectName(QStringLiteral("dlgSaveExport"));
    dlgSaveExport.setAcceptMode(QFileDialog::AcceptSave);
    dlgSaveExport.setFileMode(QFileDialog::AnyFile);
    // The replace question below names the file actually written, which may differ from the chosen
    // name by ".txt"; the dialog's own question would ask about the wrong file.
    dlgSaveExport.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dlgSaveExport.setNameFilter(m_language.GetText(QStringLiteral("3703026")));
    if (dlgSaveExport.exec() != QDialog::Accepted || dlgSaveExport.selectedFiles().isEmpty())
        return;
    const QString target = ExportTargetName(dlgSaveExport.selectedFiles().constFirst());
    if (QFileInfo::exists(target)) {
        QMessageBox question(QMessageBox::Warning, m_language.GetText(QStringLiteral("3703028")),
                             QLatin1Char('\'') + target + QLatin1Char('\'') +
                                 m_language.GetText(QStringLiteral("3703027")),
                             QMessageBox::Ok | QMessageBox::Cancel, this);
        question.setObjectName(QStringLiteral("ExportReplaceQuestion"));
        if (question.exec() != QMessageBox::Ok)
            return;
    }
    QString error;
    if (!WriteExport(target, error))
        QMessageBox::critical(this, m_language.GetText(QStringLiteral("3703028")), error);
}

bool TfrmMain::WriteExport(const QString& target, QString& error) const {
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = file.errorString();
        return false;
    }
    std::string text;
    const int count = static_cast<int>(core::ResultList.size());
    for (int i = 0; i < count; ++i)
        text += ExportLine(core::ResultAt(i));
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.flush()) {
        error = file.errorString();
        return false;
    }
    file.close();
    return true;
}

void TfrmMain::dxbrbtnCloseClick() {
    close();
}

std::vector<std::string> TfrmMain::CopyPaths() const {
    std::vector<int> selected;
    for (const QModelIndex& index : Pane->lvFiles->selectionModel()->selectedRows())
        selected.push_back(index.row());
    std::vector<std::string> paths;
    for (int i : CopyIndices(dxbrbtnSelectAll->isChecked(), std::move(selected),
                             static_cast<int>(core::ResultList.size()))) {
        std::string path = RecordPath(core::ResultAt(i));
        if (!path.empty())
            paths.push_back(std::move(path));
    }
    return paths;
}

void TfrmMain::dxbrbtnCopyClick() {
    repaint();
    // An empty list leaves the clipboard unchanged.
    platform::CopyFilesToClipboard(CopyPaths());
}

void TfrmMain::dxbrbtnSelectAllClick() {
    repaint();
    Pane->SetSelectAllDown(dxbrbtnSelectAll->isChecked());
    Pane->lvFiles->viewport()->update();
    Pane->lvFiles->setFocus();
}

void TfrmMain::dxbrbtnMatchPathClick() {
    core::MatchPath = dxbrbtnMatchPath->isChecked();
    try {
        Pane->ClickCurrentGroupButton();
    } catch (...) {
        Pane->imgAllClick();
    }
}

int TfrmMain::TextSize() const {
    return Pane->lvFiles->font().pointSize();
}

void TfrmMain::SetTextSize(int points) {
    repaint();
    QFont font = Pane->lvFiles->font();
    font.setPointSize(points);
    Pane->lvFiles->setFont(font);
    Pane->lvFiles->viewport()->update();
}

void TfrmMain::dxbrbtnIncreaseClick() {
    SetTextSize(TextSizeIncrease(TextSize()));
}

void TfrmMain::dxbrbtnDecreaseClick() {
    SetTextSize(TextSizeDecrease(TextSize()));
}

void TfrmMain::dxbrbtnNormalClick() {
    SetTextSize(kTextSizeNormal);
}

void TfrmMain::dxbrbtnRefreshClick() {
    Pane->ClickCurrentGroupButton();
}

void TfrmMain::dxbrbtnHelpClick() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(dialogs::kWebsiteAddress) +
                                   QStringLiteral("products/utilities/kestrel-find/help/")));
}

void TfrmMain::dxbrbtnHomePageClick() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(dialogs::kWebsiteAddress)));
}

void TfrmMain::dxbrbtnCheckForUpdateClick() {
    dialogs::TCheckUpdate::Start(m_language);
}

void TfrmMain::dxbrbtnAboutKestrelfindClick() {
    dialogs::TfrmAbout about(m_language, this);
    about.exec();
}

void TfrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    // Only the first showing builds the bar; showing again after the double-Ctrl key keeps the
    // category the user chose.
    if (!property("barBuilt").toBool()) {
        setProperty("barBuilt", true);
        Pane->GroupButtonInit();
    }
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    event->accept();
    m_typingPace->Stop();
    emit closed();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Pane->lvFiles && event->type() == QEvent::Resize)
        Pane->lvFiles->header()->resizeSection(1, PathColumnWidth(Pane->lvFiles->width()));
    return QWidget::eventFilter(watched, event);
}

void TfrmMain::dxbrbtnOptionsClick() {
    bool languageChanged = false;
    if (!ShowOptions || !ShowOptions(this, languageChanged))
        return;
    if (languageChanged) {
        LanguageChanged = true;
        InitLanguages();
    }
    Pane->GroupButtonInit();
    Pane->SetCurrentGroupButton(nullptr);
}

} // namespace kestrel::views
