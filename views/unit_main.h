// TfrmMain: the Full Mode window. A resizable window with a menu bar, a banner holding its own search
// box, and the shared result pane (category bar, list with Name, Path, Size and Date, status bar). The
// compact window creates it anew for each Full Mode, hands it the search text, the group list and
// the Match Path state, runs it with ShowModal and frees it afterwards.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "result_pane.h"

class QAction;
class QEventLoop;
class QLineEdit;
class QMenu;
class QMenuBar;
class QTimer;

namespace kestrel::views {

class TTypingPace;

class TfrmMain : public QWidget {
    Q_OBJECT
public:
    // language must outlive the window. parent: the owner (the compact window), may be null.
    explicit TfrmMain(const config::TLanguage& language, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Shows the window application-modal and returns when it has closed. While it runs the window
    // may be hidden and shown again (the double-Ctrl key) without ending it.
    void ShowModal();

    // The groups the category bar shows (the compact window's list); may be null.
    void SetGroupList(core::TGroupList* groupList) { Pane->SetGroupList(groupList); }
    core::TGroupList* GroupList() const { return Pane->GroupList(); }
    // True once a language change was made while the window was open.
    bool LanguageChanged = false;
    // Enter in the search box starts a web search (the "SearchEnterKey" switch).
    bool SearchEnterKey = false;
    // Opens the web search for a text; set by the owner. Without it the banner's button does nothing.
    std::function<void(const QString& text)> WebSearch;
    // Runs the Options dialog over this window (the opener saves and applies what was chosen);
    // returns whether OK was chosen and whether the language changed. Without it Options does nothing.
    std::function<bool(QWidget* owner, bool& languageChanged)> ShowOptions;

    void InitLanguages();
    // Enables Open, Open Folder, Cut, Copy and Paste (the commands that need a selected row).
    void FileMenusManage(bool enabled);

    // Handlers.
    void edtSearchChange();
    void edtSearchKeyPress();
    void imgSearchClick();
    void lvFilesClick();
    void dxbrbtnOpenClick();
    void dxbrbtnOpenFolderClick();
    void dxbrlrgbtnExportClick();
    void dxbrbtnCloseClick();
    void dxbrbtnCopyClick();
    void dxbrbtnSelectAllClick();
    void dxbrbtnMatchPathClick();
    void dxbrbtnIncreaseClick();
    void dxbrbtnDecreaseClick();
    void dxbrbtnNormalClick();
    void dxbrbtnOptionsClick();
    void dxbrbtnNameClick() { Pane->Arrange(0); }
    void dxbrbtnPathClick() { Pane->Arrange(1); }
    void dxbrbtnSizeClick() { Pane->Arrange(2); }
    void dxbrbtnDataModifildClick() { Pane->Arrange(3); }
    void dxbrbtnRefreshClick();
    void dxbrbtnHelpClick();
    void dxbrbtnHomePageClick();
    void dxbrbtnCheckForUpdateClick();
    void dxbrbtnAboutKestrelfindClick();

    // The list's text size in points.
    int TextSize() const;
    // The full paths (file-system bytes) Copy takes now, in order.
    std::vector<std::string> CopyPaths() const;

    QMenuBar* dxbrmngrMainMenu = nullptr;
    QWidget* imgTop = nullptr;
    QWidget* imaLogo = nullptr;
    TZevImageBtn* imgSettings = nullptr;
    QLineEdit* edtSearch = nullptr;
    TZevImageBtn* imgSearch = nullptr;
    TResultPane* const Pane;

    QMenu* mnuFile = nullptr;
    QMenu* mnuEdit = nullptr;
    QMenu* mnuView = nullptr;
    QMenu* mnuHelp = nullptr;
    QMenu* dxbrsbtmTextSize = nullptr;
    QMenu* dxbrsbtmArrangeIconsby = nullptr;
    QAction* dxbrbtnOpen = nullptr;
    QAction* dxbrbtnOpenFolder = nullptr;
    QAction* dxbrlrgbtnExport = nullptr;
    QAction* dxbrbtnClose = nullptr;
    QAction* dxbrbtnCut = nullptr;
    QAction* dxbrbtnCopy = nullptr;
    QAction* dxbrbtnPaste = nullptr;
    QAction* dxbrbtnSelectAll = nullptr;
    QAction* dxbrbtnMatchPath = nullptr;
    QAction* dxbrbtnOptions = nullptr;
    QAction* dxbrbtnIncrease = nullptr;
    QAction* dxbrbtnDecrease = nullptr;
    QAction* dxbrbtnNormal = nullptr;
    QAction* dxbrbtnName = nullptr;
    QAction* dxbrbtnPath = nullptr;
    QAction* dxbrbtnSize = nullptr;
    QAction* dxbrbtnDataModifild = nullptr;
    QAction* dxbrbtnRefresh = nullptr;
    QAction* dxbrbtnHelp = nullptr;
    QAction* dxbrbtnHomePage = nullptr;
    QAction* dxbrbtnSupport = nullptr;
    QAction* dxbrbtnCheckForUpdate = nullptr;
    QAction* dxbrbtnAboutKestrelfind = nullptr;

signals:
    // The window closed; ShowModal returns.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RunTyping();
    void SetTextSize(int points);
    // Writes every result's line to target; false with error set on an input/output error.
    bool WriteExport(const QString& target, QString& error) const;

    const config::TLanguage& m_language;
    std::unique_ptr<TTypingPace> m_typingPace;
    QEventLoop* m_modalLoop = nullptr;
};

} // namespace kestrel::views
