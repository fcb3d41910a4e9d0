#include "unit_group_setting.h"

#include "UnitLanguageRegConfig.h"
#include "group_file.h"
#include "group_rules.h"
#include "unit_extension.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>

#include <algorithm>

namespace kestrel::dialogs {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Longer translations grow to the left, away from the box they name.
    label->setGeometry(0, top, left + width, height);
    label->installEventFilter(parent);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, top, width, height);
    button->setAutoDefault(false);
    return button;
}

void SetTextColour(QLineEdit* edit, const QColor& colour) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Text, colour);
    edit->setPalette(palette);
}

} // namespace

TfrmGroupSetting::TfrmGroupSetting(const config::TLanguage& language, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_language(language) {
    setObjectName(QStringLiteral("frmGroupSetting"));
    setFixedSize(438, 332);

    labName = MakeLabel(this, "labName", 49, 12, 60, 13);
    edtName = new QLineEdit(this);
    edtName->setObjectName(QStringLiteral("edtName"));
    edtName->setGeometry(115, 8, 310, 21);
    edtName->installEventFilter(this);
    labContent = MakeLabel(this, "labContent", 37, 40, 72, 13);
    lvContent = new QTreeWidget(this);
    lvContent->setObjectName(QStringLiteral("lvContent"));
    lvContent->setGeometry(115, 40, 310, 209);
    lvContent->setColumnCount(2);
    lvContent->setRootIsDecorated(false);
    lvContent->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvContent->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvContent->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvContent->header()->setSectionsClickable(false);
    lvContent->setColumnWidth(0, 140);
    lvContent->setColumnWidth(1, 150);
    lvContent->viewport()->installEventFilter(this);
    labExtensionName = MakeLabel(this, "labExtensionName", 61, 261, 48, 13);
    edtContent = new QLineEdit(this);
    edtContent->setObjectName(QStringLiteral("edtContent"));
    edtContent->setGeometry(115, 257, 135, 21);
    edtContent->installEventFilter(this);
    btnAdd = MakeButton(this, "btnAdd", 261, 256, 75, 22);
    btnRemove = MakeButton(this, "btnRemove", 350, 256, 75, 22);
    bvl1 = new QFrame(this);
    bvl1->setObjectName(QStringLiteral("bvl1"));
    bvl1->setGeometry(7, 289, 424, 2);
    bvl1->setFrameShape(QFrame::HLine);
    bvl1->setFrameShadow(QFrame::Sunken);
    btnOK = MakeButton(this, "btnOK", 261, 302, 75, 25);
    btnOK->setDefault(true);
    btnCancel = MakeButton(this, "btnCancel", 350, 302, 75, 25);
    setTabOrder(lvContent, edtName);
    setTabOrder(edtName, edtContent);
    setTabOrder(edtContent, btnAdd);
    setTabOrder(btnAdd, btnRemove);

    KnownExtensions = LoadKnownExtensions();
    Picker = new TfrmExtension(language, this, [this](const QString& pattern, const QString& fileType) {
        AddContentRow(pattern, fileType);
    });
    Picker->hide();
    InitLanguages();
    SetPlaceholder();

    connect(edtName, &QLineEdit::textChanged, this, &TfrmGroupSetting::edtNameChange);
    connect(edtContent, &QLineEdit::textChanged, this, &TfrmGroupSetting::edtContentChange);
    connect(btnAdd, &QPushButton::clicked, this, &TfrmGroupSetting::btnAddClick);
    connect(btnRemove, &QPushButton::clicked, this, &TfrmGroupSetting::btnRemoveClick);
    connect(btnOK, &QPushButton::clicked, this, &TfrmGroupSetting::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    // The picker is a window of its own: it must not linger over other programs.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive && Picker)
            Picker->hide();
    });
}

TfrmGroupSetting::~TfrmGroupSetting() = default;

void TfrmGroupSetting::InitLanguages() {
    setWindowTitle(m_language.GetText(QStringLiteral("3700001")));
    labName->setText(m_language.GetText(QStringLiteral("3705004")));
    labContent->setText(m_language.GetText(QStringLiteral("3705005")));
    labExtensionName->setText(m_language.GetText(QStringLiteral("3705006")));
    lvContent->setHeaderLabels(
        {m_language.GetText(QStringLiteral("3705007")), m_language.GetText(QStringLiteral("3705008"))});
    btnOK->setText(m_language.GetText(QStringLiteral("3704001")));
    btnCancel->setText(m_language.GetText(QStringLiteral("3704002")));
    btnAdd->setText(m_language.GetText(QStringLiteral("3704003")));
    btnRemove->setText(m_language.GetText(QStringLiteral("3704005")));
    edtName->setToolTip(m_language.GetText(QStringLiteral("3705012")));
}

bool TfrmGroupSetting::ShowsPlaceholder() const {
    return SameIgnoringAsciiCase(edtContent->text(), m_language.GetText(QStringLiteral("3705011")));
}

void TfrmGroupSetting::SetPlaceholder() {
    SetTextColour(edtContent, QColor(192, 192, 192));
    edtContent->setText(m_language.GetText(QStringLiteral("3705011")));
}

void TfrmGroupSetting::ClearPlaceholder() {
    if (ShowsPlaceholder()) {
        SetTextColour(edtContent, Qt::black);
        edtContent->clear();
    }
}

void TfrmGroupSetting::FormShow() {
    if (EditMode != 1 || !EditedGroup)
        return;
    edtName->setText(EditedGroup->Name);
    if (core::IsBuiltInGroup(EditedGroup->Name)) {
        edtName->setText(core::GroupDisplayName(
            EditedGroup->Name, [this](const QString& id) { return m_language.GetText(id); }));
        edtName->setEnabled(false);
    }
    lvContent->clear();
    for (const QString& entry : EditedGroup->Content) {
        if (entry.isEmpty())
            continue;
        auto* row = new QTreeWidgetItem(lvContent);
        row->setText(0, entry);
        row->setText(1, FileTypeOf(KnownExtensions, entry));
    }
}

void TfrmGroupSetting::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
    tmrFormMobileTimer();
}

void TfrmGroupSetting::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    tmrFormMobileTimer();
}

void TfrmGroupSetting::mousePressEvent(QMouseEvent* event) {
    Picker->hide();
    QDialog::mousePressEvent(event);
}

bool TfrmGroupSetting::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtContent) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            edtContentClick();
            break;
        case QEvent::KeyRelease:
            edtContentKeyUp();
            break;
        case QEvent::FocusOut:
            edtContentExit();
            break;
        case QEvent::Move:
        case QEvent::Resize:
            tmrFormMobileTimer();
            break;
        default:
            break;
        }
    } else if (event->type() == QEvent::MouseButtonPress &&
               (watched == edtName || watched == lvContent->viewport() || watched == labName ||
                watched == labContent || watched == labExtensionName)) {
        Picker->hide();
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmGroupSetting::tmrFormMobileTimer() {
    if (Picker)
        Picker->move(edtContent->mapToGlobal(QPoint(3, edtContent->height())));
}

void TfrmGroupSetting::edtNameChange(const QString& text) {
    const QString filtered = NameFilter(text);
    if (filtered != text) {
        // Keep the cursor where the user was typing, as far as the text still reaches.
        const int cursor = edtName->cursorPosition() - (text.size() - filtered.size());
        edtName->setText(filtered);
        edtName->setCursorPosition(std::max(0, cursor));
    }
}

void TfrmGroupSetting::edtContentClick() {
    ClearPlaceholder();
    if (Picker->lvContent->topLevelItemCount() > 0) {
        tmrFormMobileTimer();
        Picker->show();
    }
}

void TfrmGroupSetting::edtContentKeyUp() {
    SetTextColour(edtContent, Qt::black);
}

void TfrmGroupSetting::edtContentExit() {
    if (edtContent->text().trimmed().isEmpty())
        SetPlaceholder();
}

void TfrmGroupSetting::edtContentChange(const QString& text) {
    if (ShowsPlaceholder())
        return;
    Picker->lvContent->clear();
    if (IsBarePattern(text.toLower()) || !IsExtensionPattern(text.toLower())) {
        Picker->hide();
        if (!IsBarePattern(text.toLower()))
            edtContent->setFocus();
        return;
    }
    for (const core::TExtensionData& proposal : ProposeExtensions(KnownExtensions, text)) {
        auto* row = new QTreeWidgetItem(Picker->lvContent);
        row->setText(0, proposal.Extension);
        row->setText(1, proposal.FileType);
    }
    if (Picker->lvContent->topLevelItemCount() > 0) {
        tmrFormMobileTimer();
        Picker->show();
    } else {
        Picker->hide();
    }
    edtContent->setFocus();
}

void TfrmGroupSetting::AddContentRow(const QString& pattern, const QString& fileType) {
    if (HasPattern(ContentPatterns(), pattern))
        return;
    auto* row = new QTreeWidgetItem(lvContent);
    row->setText(0, pattern);
    row->setText(1, fileType);
}

QStringList TfrmGroupSetting::ContentPatterns() const {
    QStringList patterns;
    for (int i = 0; i < lvContent->topLevelItemCount(); ++i)
        patterns << lvContent->topLevelItem(i)->text(0);
    return patterns;
}

void TfrmGroupSetting::btnAddClick() {
    QList<QTreeWidgetItem*> selected;
    for (int i = 0; i < Picker->lvContent->topLevelItemCount(); ++i) {
        if (Picker->lvContent->topLevelItem(i)->isSelected())
            selected << Picker->lvContent->topLevelItem(i);
    }
    if (selected.isEmpty()) {
        const QString text = edtContent->text();
        if (IsBarePattern(text.toLower()) || ShowsPlaceholder() || !IsExtensionPattern(text.toLower())) {
            edtContent->setFocus();
            return;
        }
        AddContentRow(text, QString());
    } else {
        for (const QTreeWidgetItem* row : selected)
            AddContentRow(row->text(0), row->text(1));
    }
    Picker->hide();
}

void TfrmGroupSetting::btnRemoveClick() {
    qDeleteAll(lvContent->selectedItems());
    Picker->hide();
}

void TfrmGroupSetting::Warn(const QString& text, QWidget* focus) {
    QMessageBox::warning(this, m_language.GetText(QStringLiteral("3703028")), text);
    focus->setFocus();
}

void TfrmGroupSetting::btnOKClick() {
    btnOK->setEnabled(false);
    btnCancel->setEnabled(false);
    const QString typed = edtName->text();
    const QString name = typed.trimmed();
    const core::TGroupList empty;
    switch (CheckGroup(typed, lvContent->topLevelItemCount(), GroupList ? *GroupList : empty, EditedGroup)) {
    case GroupCheck::EmptyName:
        Warn(m_language.GetText(QStringLiteral("3705012")), edtName);
        break;
    case GroupCheck::NoPatterns:
        Warn(m_language.GetText(QStringLiteral("3705009")), edtContent);
        break;
    case GroupCheck::NameTaken:
        Warn(m_language.GetText(QStringLiteral("3705010"), u'\'' + typed + u'\''), edtName);
        break;
    case GroupCheck::Ok:
        if (EditMode == 0) {
            if (GroupList) {
                auto group = std::make_unique<core::TGroupData>();
                group->Name = name;
                group->Content = ContentPatterns();
                EditedGroup = group.get();
                GroupList->push_back(std::move(group));
            }
        } else if (EditedGroup) {
            if (edtName->isEnabled())
                EditedGroup->Name = name;
            EditedGroup->Content = ContentPatterns();
        }
        Picker->hide();
        accept();
        break;
    }
    btnOK->setEnabled(true);
    btnCancel->setEnabled(true);
}

} // namespace kestrel::dialogs
