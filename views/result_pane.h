// The result list and the category bar of a result window, one implementation for the drop-down and
// the full window: the bar advpnlGroup with its buttons (All, Shortcuts, Folders, one per group) on
// the left, the splitter, the virtual list lvFiles and the status bar dxstsbrButtom below, and the
// refresh and index-ready ticks. A window differs only by its TResultPaneStyle.
//
// Data flow: a category click builds the query from the window's search text and calls StartSearch
// with this pane's model and status bar; the search core hands the finished list over on the UI
// thread and the model tells the view. UI thread only.
#pragma once

#include <QTreeView>
#include <QWidget>

#include <functional>
#include <vector>

#include "file_manager.h"
#include "result_model.h"
#include "status_bar.h"
#include "unit_head.h"

class QLabel;
class QScrollArea;
class QSplitter;
class QTimer;
class QButtonGroup;

namespace kestrel::config {
class TLanguage;
}

namespace kestrel::views {

class TZevImageBtn;

struct TResultPaneColumn {
    ResultColumn kind;
    const char* textId;
    int width;
    int32_t sortKey; // the SortResults key a click on the header applies
};

// How one window's list and bar look and behave.
struct TResultPaneStyle {
    std::vector<TResultPaneColumn> columns;
    bool multiSelection = false;
    int barWidth = 136;        // the category bar's starting width; the user may drag it from 110 to 198
    int firstPanelWidth = 136; // status panel 1
    QString startMenuIcon;     // pictures in the Images folder
    QString folderIcon;
    // True: panel 2 shows the folder of the row the selection change concerns (drop-down). False: the
    // "3703002" count text, with the folder when one row is selected (full window).
    bool folderOnlySelectionText = true;

    // The drop-down: Name, Size, Date; one selected row.
    static TResultPaneStyle DropDown();
    // The full window: Name, Path, Size, Date; several selected rows.
    static TResultPaneStyle FullWindow();
};

// lvFiles: a QTreeView with uniform rows whose type-ahead finds a row by the start of its name.
class TResultTreeView : public QTreeView {
    Q_OBJECT
public:
    explicit TResultTreeView(QWidget* parent = nullptr);
    // lvFilesDataFind: scans from the current row onwards, wrapping around, for a name that starts
    // with the text typed so far.
    void keyboardSearch(const QString& search) override;

private:
    QString m_typed;
    qint64 m_lastTypedMs = 0;
};

class TResultPane : public QWidget {
    Q_OBJECT
public:
    TResultPane(TResultPaneStyle style, const config::TLanguage& language, QWidget* parent = nullptr);
    ~TResultPane() override;

    // The list of groups shown as buttons (owned by the compact window); may be null. The next
    // GroupButtonInit builds from it.
    void SetGroupList(core::TGroupList* groupList) { m_groupList = groupList; }
    core::TGroupList* GroupList() const { return m_groupList; }
    // Where the category clicks read the search text.
    void SetSearchTextSource(std::function<QString()> source) { m_searchText = std::move(source); }
    QString SearchText() const { return m_searchText ? m_searchText() : QString(); }

    // Captions from the language catalogue: the fixed buttons, the bar caption, the column headers and
    // the built-in groups' buttons.
    void InitLanguages();
    // Rebuilds the group buttons from the group list (the three fixed buttons stay).
    void GroupButtonInit();

    // The category handlers; each makes the clicked button current and starts its search.
    void imgAllClick();
    void imgStartMenuClick();
    void imgFolderClick();
    void GroupButtonClick(TZevImageBtn* button);
    // Runs the current category's search again (the button's own handler).
    void ClickCurrentGroupButton();
    // Makes button the current category and shows it pressed, without searching.
    void SetCurrentGroupButton(TZevImageBtn* button);
    TZevImageBtn* CurrentGroupButton() const { return m_current; }
    // The group buttons in bar order (after the three fixed ones).
    std::vector<TZevImageBtn*> GroupButtons() const;

    // lvFiles handlers.
    void lvFilesColumnClick(int column);
    // The toggle-and-sort steps of a column click for a sort key (the full window's Arrange Icons by
    // commands call it directly): the window's key and direction by ArrangeToggle, ResultList sorted,
    // SortState set, the list repainted.
    void Arrange(int32_t key);
    void lvFilesDblClick();
    void lvFilesContextPopup(const QPoint& pos);
    // Writes the selection text for a row (the row a selection change concerns), as lvFilesChange.
    void lvFilesChange(int row);
    void tmrUpdateTimer();
    void tmrScanFileTimer();

    // The record of the selected row (the current one when several are selected), or null.
    TItemFileData* SelectedRecord() const;
    int SelectedRow() const;

    TResultListModel* Model() const { return m_model; }
    platform::FileManager& FileManager() { return m_fileManager; }
    const TResultPaneStyle& Style() const { return m_style; }
    // The window's own sort key and direction (the last column click).
    int32_t SortKey() const { return m_sortKey; }
    bool SortDescending() const { return m_sortDescending; }
    // Select All (full window): while down, every row of the list is selected, also the rows a search
    // or a refresh brings later. Releasing it keeps the selection as it is.
    void SetSelectAllDown(bool down);
    bool SelectAllDown() const { return m_selectAllDown; }

    QWidget* advpnlGroup = nullptr;
    QLabel* labGroupCaption = nullptr;
    QScrollArea* scrlbxBtn = nullptr;
    TZevImageBtn* imgAll = nullptr;
    TZevImageBtn* imgStartMenu = nullptr;
    TZevImageBtn* imgFolder = nullptr;
    QSplitter* splBtn = nullptr;
    TResultTreeView* lvFiles = nullptr;
    TStatusBar* dxstsbrButtom = nullptr;
    QTimer* tmrUpdate = nullptr;
    QTimer* tmrScanFile = nullptr;

signals:
    // The number of selected rows changed (the full window enables its commands by it).
    void selectionCountChanged(int count);
    // A mouse button was pressed on the list's rows (the full window releases Select All).
    void listPressed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TZevImageBtn* MakeButton(const QString& name, int top);
    void LayOutButtons();
    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void SelectEveryRowWhileDown();

    const TResultPaneStyle m_style;
    const config::TLanguage& m_language;
    core::TGroupList* m_groupList = nullptr;
    std::function<QString()> m_searchText;
    TResultListModel* m_model = nullptr;
    QWidget* m_buttonBox = nullptr;
    QButtonGroup* m_buttonGroup = nullptr;
    std::vector<TZevImageBtn*> m_groupButtons;
    TZevImageBtn* m_current = nullptr;
    platform::FileManager m_fileManager;
    int32_t m_sortKey = 0;
    bool m_sortDescending = false;
    bool m_selectAllDown = false;
};

} // namespace kestrel::views
