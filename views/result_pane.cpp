#include "result_pane.h"

#include "UnitLanguageRegConfig.h"
#include "context_menu.h"
#include "data_thread.h"
#include "full_mode_rules.h"
#include "group_query.h"
#include "image_button.h"
#include "images.h"
#include "list_rules.h"
#include "query.h"
#include "sort_results.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDateTime>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

namespace kestrel::views {

namespace {

constexpr int kButtonHeight = 23;
constexpr int kBarMinWidth = 110;
constexpr int kBarMaxWidth = 198;
constexpr int kRefreshMs = 3000;
constexpr int kIndexReadyMs = 100;

QString NormalisedText(const QString& text) {
    return QString::fromStdU16String(core::NormaliseQuery(text.toStdU16String()));
}

} // namespace

TResultPaneStyle TResultPaneStyle::DropDown() {
    TResultPaneStyle style;
    style.columns = {{ResultColumn::Name, "3702005", 210, 0},
                     {ResultColumn::Size, "3702006", 70, 2},
                     {ResultColumn::Date, "3702007", 115, 3}};
    style.multiSelection = false;
    style.barWidth = 136;
    style.firstPanelWidth = 136;
    style.startMenuIcon = QStringLiteral("Shotcuts.png");
    style.folderIcon = QStringLiteral("Folders.png");
    style.folderOnlySelectionText = true;
    return style;
}

TResultPaneStyle TResultPaneStyle::FullWindow() {
    TResultPaneStyle style;
    style.columns = {{ResultColumn::Name, "3702005", 200, 0},
                     {ResultColumn::Path, "3703001", 250, 1},
                     {ResultColumn::Size, "3702006", 80, 2},
                     {ResultColumn::Date, "3702007", 120, 3}};
    style.multiSelection = true;
    style.barWidth = 177;
    style.firstPanelWidth = 176;
    style.startMenuIcon = QStringLiteral("shotcuts.png");
    style.folderIcon = QStringLiteral("folders.png");
    style.folderOnlySelectionText = false;
    return style;
}

TResultTreeView::TResultTreeView(QWidget* parent) : QTreeView(parent) {
    setObjectName(QStringLiteral("lvFiles"));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    setIconSize(QSize(16, 16));
    setTextElideMode(Qt::ElideRight);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(true);
    header()->setHighlightSections(false);
}

void TResultTreeView::keyboardSearch(const QString& search) {
    if (!model() || search.isEmpty())
        return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const bool continued = now - m_lastTypedMs <= QApplication::keyboardInputInterval();
    m_lastTypedMs = now;
    m_typed = continued ? m_typed + search : search;
    const int rows = model()->rowCount();
    const int current = currentIndex().isValid() ? currentIndex().row() : -1;
    // A new word looks from the row after the current one; more letters of the same word may still
    // match the current row.
    int start = continued ? current : current + 1;
    if (start < 0 || start >= rows)
        start = 0;
    const int row = FindRowByPrefix(m_typed, rows, start, true, [](int i) -> std::optional<QString> {
        const TItemFileData* record = core::ResultAt(i);
        if (!record)
            return std::nullopt;
        return QString::fromUtf16(record->Name);
    });
    if (row < 0)
        return;
    const QModelIndex index = model()->index(row, 0);
    setCurrentIndex(index);
    scrollTo(index);
}

TResultPane::TResultPane(TResultPaneStyle style, const config::TLanguage& language, QWidget* parent)
    : QWidget(parent), m_style(std::move(style)), m_language(language) {
    setObjectName(QStringLiteral("ResultPane"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    splBtn = new QSplitter(Qt::Horizontal, this);
    splBtn->setObjectName(QStringLiteral("splBtn"));
    splBtn->setChildrenCollapsible(false);
    splBtn->setHandleWidth(3);

    // The category bar: a caption over a scroll box of buttons, 23 pixels each.
    advpnlGroup = new QWidget(splBtn);
    advpnlGroup->setObjectName(QStringLiteral("advpnlGroup"));
    advpnlGroup->setAttribute(Qt::WA_StyledBackground);
    advpnlGroup->setMinimumWidth(kBarMinWidth);
    advpnlGroup->setMaximumWidth(kBarMaxWidth);
    auto* barLayout = new QVBoxLayout(advpnlGroup);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->setSpacing(0);
    labGroupCaption = new QLabel(advpnlGroup);
    labGroupCaption->setObjectName(QStringLiteral("labGroupCaption"));
    labGroupCaption->setFixedHeight(26);
    labGroupCaption->setAlignment(Qt::AlignCenter);
    QFont bold = labGroupCaption->font();
    bold.setBold(true);
    labGroupCaption->setFont(bold);
    barLayout->addWidget(labGroupCaption);
    scrlbxBtn = new QScrollArea(advpnlGroup);
    scrlbxBtn->setObjectName(QStringLiteral("scrlbxBtn"));
    scrlbxBtn->setFrameShape(QFrame::NoFrame);
    scrlbxBtn->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrlbxBtn->setWidgetResizable(false);
    m_buttonBox = new QWidget;
    m_buttonBox->setObjectName(QStringLiteral("scrlbxBtnContents"));
    scrlbxBtn->setWidget(m_buttonBox);
    scrlbxBtn->viewport()->installEventFilter(this);
    barLayout->addWidget(scrlbxBtn, 1);

    m_buttonGroup = new QButtonGroup(this);
    m_buttonGroup->setExclusive(true);
    imgAll = MakeButton(QStringLiteral("imgAll"), 0);
    imgAll->SetPictures(ImagePicture(QStringLiteral("topdown.png")),
                        ImagePicture(QStringLiteral("topup.png")), ImagePicture(QStringLiteral("topup.png")));
    imgAll->SetIconPicture(ImagePicture(QStringLiteral("All.png")));
    imgAll->SetMargins(3, 5);
    imgStartMenu = MakeButton(QStringLiteral("imgStartMenu"), kButtonHeight);
    imgStartMenu->SetPictures(ImagePicture(QStringLiteral("normaldown.png")),
                              ImagePicture(QStringLiteral("normalhot.png")), QIcon());
    imgStartMenu->SetIconPicture(ImagePicture(m_style.startMenuIcon));
    imgStartMenu->SetMargins(15, 5);
    imgFolder = MakeButton(QStringLiteral("imgFolder"), 2 * kButtonHeight);
    imgFolder->SetPictures(imgStartMenu->Down(), imgStartMenu->Hot(), QIcon());
    imgFolder->SetIconPicture(ImagePicture(m_style.folderIcon));
    imgFolder->SetMargins(15, 5);
    connect(imgAll, &QAbstractButton::clicked, this, &TResultPane::imgAllClick);
    connect(imgStartMenu, &QAbstractButton::clicked, this, &TResultPane::imgStartMenuClick);
    connect(imgFolder, &QAbstractButton::clicked, this, &TResultPane::imgFolderClick);

    // The list.
    lvFiles = new TResultTreeView(splBtn);
    std::vector<ResultColumn> kinds;
    for (const TResultPaneColumn& column : m_style.columns)
        kinds.push_back(column.kind);
    m_model = new TResultListModel(std::move(kinds), this);
    lvFiles->setModel(m_model);
    lvFiles->setSelectionMode(m_style.multiSelection ? QAbstractItemView::ExtendedSelection
                                                     : QAbstractItemView::SingleSelection);
    for (size_t i = 0; i < m_style.columns.size(); ++i)
        lvFiles->header()->resizeSection(static_cast<int>(i), m_style.columns[i].width);
    connect(lvFiles->header(), &QHeaderView::sectionClicked, this, &TResultPane::lvFilesColumnClick);
    // A second click soon after the first arrives as a double-click; it still counts as a click.
    connect(lvFiles->header(), &QHeaderView::sectionDoubleClicked, this, &TResultPane::lvFilesColumnClick);
    connect(lvFiles, &QAbstractItemView::doubleClicked, this, [this] { lvFilesDblClick(); });
    connect(lvFiles, &QWidget::customContextMenuRequested, this, &TResultPane::lvFilesContextPopup);
    connect(lvFiles->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TResultPane::OnSelectionChanged);
    connect(lvFiles, &QAbstractItemView::pressed, this, &TResultPane::listPressed);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TResultPane::SelectEveryRowWhileDown);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &TResultPane::SelectEveryRowWhileDown);

    splBtn->addWidget(advpnlGroup);
    splBtn->addWidget(lvFiles);
    splBtn->setStretchFactor(0, 0);
    splBtn->setStretchFactor(1, 1);
    splBtn->setSizes({m_style.barWidth, 600});
    layout->addWidget(splBtn, 1);

    dxstsbrButtom = new TStatusBar(m_style.firstPanelWidth, this);
    layout->addWidget(dxstsbrButtom);

    tmrUpdate = new QTimer(this);
    tmrUpdate->setObjectName(QStringLiteral("tmrUpdate"));
    tmrUpdate->setInterval(kRefreshMs);
    connect(tmrUpdate, &QTimer::timeout, this, &TResultPane::tmrUpdateTimer);
    tmrUpdate->start();
    tmrScanFile = new QTimer(this);
    tmrScanFile->setObjectName(QStringLiteral("tmrScanFile"));
    tmrScanFile->setInterval(kIndexReadyMs);
    connect(tmrScanFile, &QTimer::timeout, this, &TResultPane::tmrScanFileTimer);
    tmrScanFile->start();

    setStyleSheet(QStringLiteral(
        "#advpnlGroup { background: #f8fafc; border-right: 1px solid #e2e8f0; }"
        "#labGroupCaption { color: #1e3a8a; background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
        " stop:0 #eff6ff, stop:1 #dbeafe); border-bottom: 1px solid #bfdbfe; }"
        "#scrlbxBtn, #scrlbxBtnContents { background: #f8fafc; }"
        "#lvFiles { border: none; background: white; alternate-background-color: #f8fafc;"
        " selection-background-color: #dbeafe; selection-color: black; }"
        "#lvFiles QHeaderView::section { background: #f1f5f9; color: #334155; border: none;"
        " border-right: 1px solid #e2e8f0; border-bottom: 1px solid #cbd5e1; padding: 3px 6px; }"
        "#splBtn::handle { background: #e2e8f0; }"));
    lvFiles->setAlternatingRowColors(true);

    m_current = imgAll;
    imgAll->setChecked(true);
    InitLanguages();
    LayOutButtons();
}

TResultPane::~TResultPane() = default;

TZevImageBtn* TResultPane::MakeButton(const QString& name, int top) {
    auto* button = new TZevImageBtn(m_buttonBox);
    button->setObjectName(name);
    button->setCheckable(true);
    button->setGeometry(0, top, kBarMaxWidth, kButtonHeight);
    m_buttonGroup->addButton(button);
    button->show();
    return button;
}

void TResultPane::LayOutButtons() {
    const int width = scrlbxBtn->viewport()->width();
    const int count = 3 + static_cast<int>(m_groupButtons.size());
    m_buttonBox->resize(width, count * kButtonHeight);
    for (QAbstractButton* button : m_buttonGroup->buttons())
        button->resize(width, kButtonHeight);
}

bool TResultPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scrlbxBtn->viewport() && event->type() == QEvent::Resize)
        LayOutButtons();
    return QWidget::eventFilter(watched, event);
}

void TResultPane::InitLanguages() {
    auto text = [this](const char* id) { return m_language.GetText(QString::fromLatin1(id)); };
    imgAll->setText(text("3702001"));
    imgStartMenu->setText(text("3702002"));
    imgFolder->setText(text("3702003"));
    labGroupCaption->setText(text("3702004"));
    QStringList captions;
    for (const TResultPaneColumn& column : m_style.columns)
        captions << text(column.textId);
    m_model->SetCaptions(captions);
    const core::TextLookup lookup = [this](const QString& id) { return m_language.GetText(id); };
    for (TZevImageBtn* button : m_groupButtons)
        button->setText(
            GroupButtonLookOf(button->objectName(), button->property("groupName").toString(), lookup)
                .caption);
}

void TResultPane::GroupButtonInit() {
    for (auto it = m_groupButtons.rbegin(); it != m_groupButtons.rend(); ++it) {
        if (m_current == *it)
            m_current = imgAll;
        m_buttonGroup->removeButton(*it);
        delete *it;
    }
    m_groupButtons.clear();
    if (m_current == imgAll && !imgAll->isChecked())
        imgAll->setChecked(true);
    if (!m_groupList) {
        LayOutButtons();
        return;
    }
    QStringList groupNames;
    for (const auto& group : *m_groupList)
        groupNames << group->Name;
    const QStringList taken{imgAll->objectName(), imgStartMenu->objectName(), imgFolder->objectName()};
    const QStringList names = GroupButtonNames(groupNames, taken);
    const core::TextLookup lookup = [this](const QString& id) { return m_language.GetText(id); };
    for (int i = 0; i < groupNames.size(); ++i) {
        TZevImageBtn* button = MakeButton(names[i], GroupButtonTop(i));
        button->setProperty("groupName", groupNames[i]);
        button->SetPictures(imgFolder->Down(), imgFolder->Hot(), QIcon());
        button->SetMargins(15, 5);
        const GroupButtonLook look = GroupButtonLookOf(names[i], groupNames[i], lookup);
        button->setText(look.caption);
        button->SetIconPicture(ImagePicture(look.iconFile));
        connect(button, &QAbstractButton::clicked, this, [this, button] { GroupButtonClick(button); });
        m_groupButtons.push_back(button);
    }
    LayOutButtons();
}

std::vector<TZevImageBtn*> TResultPane::GroupButtons() const {
    return m_groupButtons;
}

void TResultPane::SetCurrentGroupButton(TZevImageBtn* button) {
    m_current = button ? button : imgAll;
    m_current->setChecked(true);
}

void TResultPane::imgAllClick() {
    SetCurrentGroupButton(imgAll);
    core::StartSearch(NormalisedText(SearchText()), core::kModeAll, QString(), dxstsbrButtom, m_model);
}

void TResultPane::imgStartMenuClick() {
    SetCurrentGroupButton(imgStartMenu);
    core::StartSearch(QString::fromStdString(core::StartMenuPattern), core::kModeShortcuts, SearchText(),
                      dxstsbrButtom, m_model);
}

void TResultPane::imgFolderClick() {
    SetCurrentGroupButton(imgFolder);
    core::StartSearch(NormalisedText(SearchText()), core::kModeFolders, QString(), dxstsbrButtom, m_model);
}

void TResultPane::GroupButtonClick(TZevImageBtn* button) {
    SetCurrentGroupButton(button);
    static const core::TGroupList kNoGroups;
    const QString query = BuildGroupQuery(m_groupList ? *m_groupList : kNoGroups, button->text(),
                                          button->objectName(), SearchText());
    core::StartSearch(query, core::kModeGroup, QString(), dxstsbrButtom, m_model);
}

void TResultPane::ClickCurrentGroupButton() {
    TZevImageBtn* button = m_current ? m_current : imgAll;
    if (button == imgAll)
        imgAllClick();
    else if (button == imgStartMenu)
        imgStartMenuClick();
    else if (button == imgFolder)
        imgFolderClick();
    else
        GroupButtonClick(button);
}

int TResultPane::SelectedRow() const {
    const QModelIndexList rows = lvFiles->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return -1;
    const QModelIndex current = lvFiles->currentIndex();
    if (current.isValid() && lvFiles->selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return current.row();
    return rows.first().row();
}

TItemFileData* TResultPane::SelectedRecord() const {
    const int row = SelectedRow();
    return row < 0 ? nullptr : core::ResultAt(row);
}

void TResultPane::lvFilesColumnClick(int column) {
    if (column < 0 || column >= static_cast<int>(m_style.columns.size()))
        return;
    Arrange(m_style.columns[static_cast<size_t>(column)].sortKey);
}

void TResultPane::Arrange(int32_t key) {
    const TArrangeOrder order = ArrangeToggle({m_sortKey, m_sortDescending}, key);
    m_sortKey = order.key;
    m_sortDescending = order.descending;
    core::SortResults(m_sortKey, m_sortDescending, core::ResultList);
    core::SortState.SortDescending = m_sortDescending;
    core::SortState.SortKey = m_sortKey;
    int column = -1;
    for (size_t i = 0; i < m_style.columns.size(); ++i)
        if (m_style.columns[i].sortKey == m_sortKey)
            column = static_cast<int>(i);
    lvFiles->header()->setSortIndicatorShown(column >= 0);
    if (column >= 0)
        lvFiles->header()->setSortIndicator(column,
                                            m_sortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
    m_model->Repaint();
}

void TResultPane::SetSelectAllDown(bool down) {
    m_selectAllDown = down;
    SelectEveryRowWhileDown();
}

void TResultPane::SelectEveryRowWhileDown() {
    if (!m_selectAllDown || m_model->rowCount() == 0)
        return;
    // One range over every row: as cheap for a million rows as for ten.
    const QItemSelection all(m_model->index(0, 0),
                             m_model->index(m_model->rowCount() - 1, m_model->columnCount() - 1));
    lvFiles->selectionModel()->select(all, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TResultPane::lvFilesDblClick() {
    const std::string path = RecordPath(SelectedRecord());
    if (!path.empty())
        m_fileManager.showItem(path);
}

void TResultPane::lvFilesContextPopup(const QPoint& pos) {
    const std::string path = RecordPath(SelectedRecord());
    if (path.empty())
        return;
    ShowShellContextMenu(lvFiles, path, lvFiles->viewport()->mapToGlobal(pos), m_fileManager, m_language);
}

void TResultPane::lvFilesChange(int row) {
    tmrUpdate->stop();
    dxstsbrButtom->SetPanelText(1, QString());
    const int limit = StatusTextLimit(dxstsbrButtom->width(), dxstsbrButtom->FirstPanelWidth());
    const auto selected = lvFiles->selectionModel()->selectedRows();
    emit selectionCountChanged(static_cast<int>(selected.size()));
    QString text;
    if (m_style.folderOnlySelectionText) {
        if (row < 0) {
            tmrUpdate->start();
            return;
        }
        const TItemFileData* record = core::ResultAt(row);
        if (!record)
            return; // the tick stays off until the next change, which corrects the text
        text = ShortenStatusText(QString::fromUtf16(record->Folder), limit);
    } else {
        if (selected.isEmpty()) {
            tmrUpdate->start();
            return;
        }
        if (selected.size() == 1) {
            const TItemFileData* record = core::ResultAt(row);
            if (!record)
                return;
            text = ShortenStatusText(m_language.GetText(QStringLiteral("3703002"), QStringLiteral("1")) +
                                         QStringLiteral("  ") + QString::fromUtf16(record->Folder),
                                     limit);
        } else {
            text = m_language.GetText(QStringLiteral("3703002"), QString::number(selected.size()));
        }
    }
    dxstsbrButtom->SetPanelText(1, text);
    tmrUpdate->start();
}

void TResultPane::OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    int row = -1;
    if (!selected.isEmpty())
        row = selected.first().top();
    else if (!deselected.isEmpty())
        row = deselected.first().top();
    lvFilesChange(row);
}

void TResultPane::tmrUpdateTimer() {
    if (core::SearchRunning) {
        core::FilesChanged = false;
        return;
    }
    if (core::FilesChanged && window()->isVisible() && m_current) {
        core::RefreshInPlace = true;
        ClickCurrentGroupButton();
        core::FilesChanged = false;
        return;
    }
    const int row = SelectedRow();
    if (row >= 0)
        lvFilesChange(row);
}

void TResultPane::tmrScanFileTimer() {
    if (!core::IndexReady)
        return;
    tmrScanFile->stop();
    ClickCurrentGroupButton();
}

} // namespace kestrel::views
