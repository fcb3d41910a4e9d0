// TfrmGroupSetting: the modal editor of one category group, its name and its patterns ("*.doc").
// Patterns are typed into the entry box, helped by the picker TfrmExtension that proposes the
// extensions the system knows. OK checks the entry and writes straight into GroupList: a new group is
// appended (EditMode 0), the edited one is changed in place (EditMode 1). The file is written by the
// Options dialog.
#pragma once

#include <QDialog>

#include <vector>

#include "unit_head.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QFrame;

namespace kestrel::config {
class TLanguage;
}

namespace kestrel::dialogs {

class TfrmExtension;

class TfrmGroupSetting : public QDialog {
    Q_OBJECT
public:
    // Reads the known extensions, sets the texts and creates the hidden picker. language must outlive
    // the editor.
    TfrmGroupSetting(const config::TLanguage& language, QWidget* parent = nullptr);
    ~TfrmGroupSetting() override;

    void InitLanguages();

    // Handlers.
    void FormShow();
    void btnOKClick();
    void btnAddClick();
    void btnRemoveClick();
    void edtNameChange(const QString& text);
    void edtContentChange(const QString& text);
    void edtContentClick();
    void edtContentExit();
    void edtContentKeyUp();
    // Keeps the picker directly below the entry box; runs whenever the editor or the box moves or
    // changes size.
    void tmrFormMobileTimer();

    // Adds a row with pattern and fileType unless the list holds the pattern (ignoring ASCII case).
    void AddContentRow(const QString& pattern, const QString& fileType);
    // The first column of every row, in row order.
    QStringList ContentPatterns() const;
    // The entry box shows the placeholder text.
    bool ShowsPlaceholder() const;

    std::vector<core::TExtensionData> KnownExtensions;
    TfrmExtension* Picker = nullptr;
    int EditMode = 0;
    core::TGroupData* EditedGroup = nullptr;
    core::TGroupList* GroupList = nullptr;

    QLabel* labName = nullptr;
    QLineEdit* edtName = nullptr;
    QLabel* labContent = nullptr;
    QTreeWidget* lvContent = nullptr;
    QLabel* labExtensionName = nullptr;
    QLineEdit* edtContent = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnRemove = nullptr;
    QFrame* bvl1 = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Warn(const QString& text, QWidget* focus);
    void SetPlaceholder();
    void ClearPlaceholder();

    const config::TLanguage& m_language;
};

} // namespace kestrel::dialogs
