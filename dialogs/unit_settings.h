// TfrmSetting: the modal Options dialog. Its General page edits the four switches and the language,
// its Group Display page the category groups (Add and Modify through the group editor). OK removes
// the groups whose rows were removed, saves the switches and then the group file; the opener then
// rebuilds its group buttons and, when LanguageChanged, re-reads its texts. Open it with
//     TfrmSetting setting(language, owner);
//     setting.GroupList = &groups; setting.SoftConfig = &config;
//     setting.Switches = config.SettingsSwitches;
//     if (setting.exec() == QDialog::Accepted) ...
#pragma once

#include <QDialog>

#include "UnitSoftConfig.h"
#include "unit_head.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace kestrel::dialogs {

class TfrmSetting : public QDialog {
    Q_OBJECT
public:
    // language must outlive the dialog; SetLanguage is called on it when the user picks a language.
    explicit TfrmSetting(config::TLanguage& language, QWidget* parent = nullptr);

    void InitLanguages();
    // Fills the group list from GroupList; SelectedGroup stays.
    void DataInit();
    // Runs the group editor: mode 0 adds a group, 1 modifies the group of the selected row.
    void GroupSettingInit(int mode);
    // Enables or disables the five buttons together.
    void BtnEnabled(bool flag);

    // Handlers.
    void FormShow();
    void lvGroupClick();
    void btnAddClick();
    void btnModifyClick();
    void btnRemoveClick();
    void cbbLanguageChange();
    void btnOkClick();

    // The group file OK writes; the per-user group file unless a caller sets another.
    QString GroupFile;

    config::TSettingsSwitches Switches;
    bool LanguageChanged = false;
    core::TGroupData* SelectedGroup = nullptr;
    core::TGroupList* GroupList = nullptr;
    // The settings object OK copies Switches into and saves; nothing is saved without one.
    config::TKestrelfindSoftConfig* SoftConfig = nullptr;

    QTabWidget* pcSetting = nullptr;
    QWidget* tsGeneral = nullptr;
    QCheckBox* cbAutomaticRun = nullptr;
    QCheckBox* cbKeyEnterSetting = nullptr;
    QCheckBox* cbStartHotkey = nullptr;
    QCheckBox* cbAutoUpdata = nullptr;
    QLabel* labLanguage = nullptr;
    QComboBox* cbbLanguage = nullptr;
    QWidget* tsGroupDisplay = nullptr;
    QTreeWidget* lvGroup = nullptr;
    QTreeWidget* lvGroupContent = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnModify = nullptr;
    QPushButton* btnRemove = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString Text(const char* id) const;
    core::TGroupData* GroupOfSelectedRow() const;
    void Warn(const char* textId);

    config::TLanguage& m_language;
};

} // namespace kestrel::dialogs
