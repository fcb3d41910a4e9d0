#include "unit_settings.h"

#include "group_file.h"
#include "group_rules.h"
#include "unit_group_setting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QTreeWidget>

#include <algorithm>

namespace kestrel::dialogs {

namespace {

QTreeWidget* MakeList(QWidget* parent, const char* name, int left, int top) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setGeometry(left, top, 190, 201);
    list->setColumnCount(1);
    list->setColumnWidth(0, 166);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->header()->setSectionsClickable(false);
    return list;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, int top, int width) {
    auto* box = new QCheckBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(15, top, width, 17);
    return box;
}

QPushButton* MakeButton(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, top, width, height);
    button->setAutoDefault(false);
    return button;
}

} // namespace

TfrmSetting::TfrmSetting(config::TLanguage& language, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      GroupFile(core::GroupFilePath()), m_language(language) {
    setObjectName(QStringLiteral("frmSetting"));
    setFixedSize(438, 332);

    pcSetting = new QTabWidget(this);
    pcSetting->setObjectName(QStringLiteral("pcSetting"));
    pcSetting->setGeometry(7, 7, 423, 290);
    tsGeneral = new QWidget;
    tsGeneral->setObjectName(QStringLiteral("tsGeneral"));
    tsGroupDisplay = new QWidget;
    tsGroupDisplay->setObjectName(QStringLiteral("tsGroupDisplay"));
    pcSetting->addTab(tsGeneral, QString());
    pcSetting->addTab(tsGroupDisplay, QString());

    cbAutomaticRun = MakeCheckBox(tsGeneral, "cbAutomaticRun", 24, 321);
    cbKeyEnterSetting = MakeCheckBox(tsGeneral, "cbKeyEnterSetting", 55, 377);
    cbStartHotkey = MakeCheckBox(tsGeneral, "cbStartHotkey", 86, 361);
    cbAutoUpdata = MakeCheckBox(tsGeneral, "cbAutoUpdata", 117, 361);
    labLanguage = new QLabel(tsGeneral);
    labLanguage->setObjectName(QStringLiteral("labLanguage"));
    labLanguage->setGeometry(15, 148, 78, 13);
    cbbLanguage = new QComboBox(tsGeneral);
    cbbLanguage->setObjectName(QStringLiteral("cbbLanguage"));
    cbbLanguage->setGeometry(95, 144, 145, 21);

    lvGroup = MakeList(tsGroupDisplay, "lvGroup", 8, 24);
    lvGroupContent = MakeList(tsGroupDisplay, "lvGroupContent", 215, 24);
    lvGroupContent->setSelectionMode(QAbstractItemView::ExtendedSelection);
    btnAdd = MakeButton(tsGroupDisplay, "btnAdd", 8, 231, 60, 25);
    btnModify = MakeButton(tsGroupDisplay, "btnModify", 72, 231, 60, 25);
    btnRemove = MakeButton(tsGroupDisplay, "btnRemove", 137, 231, 60, 25);
    btnOk = MakeButton(this, "btnOk", 267, 303, 75, 25);
    btnOk->setDefault(true);
    btnCancel = MakeButton(this, "btnCancel", 354, 303, 75, 25);
    setTabOrder(cbAutomaticRun, cbKeyEnterSetting);
    setTabOrder(cbKeyEnterSetting, cbStartHotkey);
    setTabOrder(cbStartHotkey, cbAutoUpdata);
    setTabOrder(cbAutoUpdata, cbbLanguage);

    connect(lvGroup, &QTreeWidget::itemClicked, this, [this] { lvGroupClick(); });
    connect(lvGroup, &QTreeWidget::itemSelectionChanged, this, [this] { lvGroupClick(); });
    connect(btnAdd, &QPushButton::clicked, this, &TfrmSetting::btnAddClick);
    connect(btnModify, &QPushButton::clicked, this, &TfrmSetting::btnModifyClick);
    connect(btnRemove, &QPushButton::clicked, this, &TfrmSetting::btnRemoveClick);
    connect(btnOk, &QPushButton::clicked, this, &TfrmSetting::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cbbLanguage, &QComboBox::activated, this, [this] { cbbLanguageChange(); });
}

QString TfrmSetting::Text(const char* id) const {
    return m_language.GetText(QString::fromLatin1(id));
}

void TfrmSetting::InitLanguages() {
    btnOk->setText(Text("3704001"));
    btnCancel->setText(Text("3704002"));
    btnAdd->setText(Text("3704003"));
    btnModify->setText(Text("3704004"));
    btnRemove->setText(Text("3704005"));
    lvGroupContent->setHeaderLabels({Text("3704006")});
    lvGroup->setHeaderLabels({Text("3704007")});
    pcSetting->setTabText(pcSetting->indexOf(tsGroupDisplay), Text("3704010"));
    pcSetting->setTabText(pcSetting->indexOf(tsGeneral), Text("3704011"));
    cbAutomaticRun->setText(Text("3704012"));
    cbKeyEnterSetting->setText(Text("3704013"));
    cbStartHotkey->setText(Text("3704014"));
    labLanguage->setText(Text("3704015"));
    setWindowTitle(Text("3705001"));
    cbAutoUpdata->setText(Text("3704020"));
}

void TfrmSetting::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmSetting::FormShow() {
    InitLanguages();
    const QSignalBlocker blocker(cbbLanguage);
    cbbLanguage->clear();
    for (const QString& pair : m_language.LanguageList()) {
        const qsizetype equals = pair.indexOf(u'=');
        const QString code = pair.left(equals);
        cbbLanguage->addItem(TrimmedDisplayName(pair.mid(equals + 1)));
        if (SameIgnoringAsciiCase(code, m_language.CurrentCode()))
            cbbLanguage->setCurrentIndex(cbbLanguage->count() - 1);
    }
    // A check box is as wide as its caption, and its indicator, need; longer translations still fit.
    for (QCheckBox* box : {cbAutomaticRun, cbKeyEnterSetting, cbStartHotkey, cbAutoUpdata}) {
        const int caption = box->fontMetrics().horizontalAdvance(box->text());
        box->resize(std::max(caption + 15, box->sizeHint().width()), box->height());
    }
    DataInit();
    cbAutomaticRun->setChecked(Switches.OnWindowsLogon);
    cbKeyEnterSetting->setChecked(Switches.SearchEnterKey);
    cbStartHotkey->setChecked(Switches.StartHotkey);
    cbAutoUpdata->setChecked(Switches.AutoUpdata);
}

void TfrmSetting::DataInit() {
    const QSignalBlocker blocker(lvGroup);
    lvGroup->clear();
    lvGroupContent->clear();
    lvGroupContent->setHeaderLabels({Text("3704006")});
    if (!GroupList)
        return;
    for (const auto& group : *GroupList) {
        auto* row = new QTreeWidgetItem(lvGroup);
        row->setText(0, core::GroupDisplayName(group->Name,
                                               [this](const QString& id) { return m_language.GetText(id); }));
    }
}

core::TGroupData* TfrmSetting::GroupOfSelectedRow() const {
    const QList<QTreeWidgetItem*> selected = lvGroup->selectedItems();
    if (selected.isEmpty() || !GroupList)
        return nullptr;
    return GroupOfCaption(*GroupList, selected.first()->text(0),
                          [this](const QString& id) { return m_language.GetText(id); });
}

void TfrmSetting::lvGroupClick() {
    SelectedGroup = nullptr;
    lvGroupContent->clear();
    core::TGroupData* group = GroupOfSelectedRow();
    if (!group)
        return;
    SelectedGroup = group;
    for (const QString& entry : group->Content) {
        if (!entry.isEmpty())
            new QTreeWidgetItem(lvGroupContent, QStringList{entry});
    }
}

void TfrmSetting::BtnEnabled(bool flag) {
    for (QPushButton* button : {btnModify, btnAdd, btnRemove, btnOk, btnCancel})
        button->setEnabled(flag);
}

void TfrmSetting::Warn(const char* textId) {
    QMessageBox::warning(this, Text("3703028"), Text(textId));
}

void TfrmSetting::btnAddClick() {
    GroupSettingInit(0);
}

void TfrmSetting::btnModifyClick() {
    BtnEnabled(false);
    if (lvGroup->selectedItems().isEmpty()) {
        Warn("3704016");
        lvGroup->setFocus();
    } else {
        GroupSettingInit(1);
    }
    BtnEnabled(true);
}

void TfrmSetting::btnRemoveClick() {
    BtnEnabled(false);
    const QList<QTreeWidgetItem*> selected = lvGroup->selectedItems();
    if (selected.isEmpty()) {
        Warn("3704016");
        lvGroup->setFocus();
    } else {
        const core::TGroupData* group = GroupOfSelectedRow();
        if (group && core::IsBuiltInGroup(group->Name)) {
            Warn("3704021");
        } else {
            lvGroupContent->clear();
            lvGroupContent->setHeaderLabels({Text("3704006")});
            SelectedGroup = nullptr;
            delete selected.first();
        }
    }
    BtnEnabled(true);
}

void TfrmSetting::GroupSettingInit(int mode) {
    TfrmGroupSetting editor(m_language, this);
    if (mode == 1) {
        editor.EditedGroup = GroupOfSelectedRow();
        editor.edtName->setReadOnly(true);
    }
    editor.GroupList = GroupList;
    editor.EditMode = mode;
    if (editor.exec() != QDialog::Accepted)
        return;
    SelectedGroup = editor.EditedGroup;
    if (mode == 1)
        lvGroupClick();
    else
        DataInit();
}

void TfrmSetting::cbbLanguageChange() {
    LanguageChanged = m_language.SetLanguage(
        config::kHkeyCurrentUser, QString::fromLatin1(config::kProgramKeyPath), cbbLanguage->currentText());
}

void TfrmSetting::btnOkClick() {
    if (GroupList) {
        QStringList captions;
        for (int i = 0; i < lvGroup->topLevelItemCount(); ++i)
            captions << lvGroup->topLevelItem(i)->text(0);
        for (size_t position : RemovedGroupPositions(
                 *GroupList, captions, [this](const QString& id) { return m_language.GetText(id); })) {
            if (SelectedGroup == (*GroupList)[position].get())
                SelectedGroup = nullptr;
            GroupList->erase(GroupList->begin() + static_cast<std::ptrdiff_t>(position));
        }
    }
    Switches.OnWindowsLogon = cbAutomaticRun->isChecked();
    Switches.SearchEnterKey = cbKeyEnterSetting->isChecked();
    Switches.StartHotkey = cbStartHotkey->isChecked();
    Switches.AutoUpdata = cbAutoUpdata->isChecked();
    if (SoftConfig) {
        SoftConfig->SettingsSwitches = Switches;
        SoftConfig->SaveSettings();
    }
    if (GroupList) {
        const core::GroupSaveResult saved = core::SaveGroups(GroupFile, *GroupList);
        if (!saved.ok)
            QMessageBox::warning(this, Text("3703028"), saved.message);
    }
    accept();
}

} // namespace kestrel::dialogs
