// TfrmSearchMain: the program's main window, a borderless search box at the bottom right of the
// primary screen's work area. Typing drives the drop-down TfrmSearchResults, which this window owns,
// shows, hides and keeps attached above or below itself; its menu holds the program's commands; two
// quick Ctrl presses anywhere on the display show or hide it.
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

#include "hotkey_pair.h"
#include "unit_head.h"

class QLineEdit;
class QMenu;
class QAction;
class QTimer;

namespace kestrel::config {
class TLanguage;
class TKestrelfindSoftConfig;
} // namespace kestrel::config

namespace kestrel::core {
class TInitThread;
}

namespace kestrel::platform {
class X11RawKeys;
}

namespace kestrel::views {
class TTypingPace;
class TfrmMain;
class TfrmSearchResults;
class TZevImageBtn;
} // namespace kestrel::views

namespace kestrel::app {

// The process-wide settings object: created by the compact window, freed on its close request.
extern config::TKestrelfindSoftConfig* SoftConfig;

// Addresses the menu opens.
inline constexpr char kWebSearchAddress[] = "https://www.google.com/search";
inline constexpr char kHomePageAddress[] = "https://brindleco.example/";
inline constexpr char kHelpAddress[] = "https://brindleco.example/products/utilities/kestrel-find/help/";

// The web search address for a typed text: every run of "*" made one, the text percent-encoded as
// the value of "q".
QString WebSearchUrl(const QString& text);

class TfrmSearchMain : public QWidget {
    Q_OBJECT
public:
    // Runs the creation steps: outline, hot key, GroupList, texts, drive list, settings, the index
    // thread, the Shortcuts pattern, the groups, the drop-down and the place on the screen.
    explicit TfrmSearchMain(const config::TLanguage& language);
    // Releases the hot key and the groups.
    ~TfrmSearchMain() override;

    void InitLanguages();

    // Handlers.
    void edtSearchChange(const QString& text);
    void edtSearchKeyPress();
    void imgSearchClick();
    void imgMenuClick();
    void imaLogoDblClick();
    // Places the drop-down next to the box by the work-area rule; runs on every move and resize of
    // either window and on every change of the screens.
    void tmrFormMobileTimer();
    // One Ctrl press at utcMs (WM_HOTKEY id 1).
    void HotkeyPressed(qint64 utcMs);
    // Full Mode: a new TfrmMain with the box's text, groups and Match Path, shown modally and freed
    // when it closes; the box hides meanwhile and shows again, emptied, afterwards.
    void dxbrbtnFullModeClick();
    void dxbrbtnMatchPathClick();
    // Shows the Options dialog modally; after OK hands the groups to the drop-down, rebuilds its group
    // buttons with All current and, after a language change, re-reads both windows' texts.
    void dxbrbtnOptionsClick();
    // The Options dialog over owner; afterwards the drop-down shows the groups and texts chosen.
    // Returns whether OK was chosen and, in languageChanged, whether the language changed.
    bool RunOptions(QWidget* owner, bool& languageChanged);
    void dxbrbtnHelpClick();
    void dxbrbtnHomePageClick();
    void dxbrbtnCheckforUpdateClick();
    void dxbrbtnExitClick();
    // A later start of the program asked this copy to come forward.
    void RestoreFromSecondInstance();

    core::TGroupList GroupList;
    views::TfrmSearchResults* ResultsForm = nullptr;
    // The open full window (while dxbrbtnFullModeClick runs), else null. The double-Ctrl key toggles
    // it instead of the box.
    views::TfrmMain* FullForm = nullptr;

    QWidget* imgMain = nullptr;
    QWidget* imaLogo = nullptr;
    QLineEdit* edtSearch = nullptr;
    views::TZevImageBtn* imgSearch = nullptr;
    views::TZevImageBtn* imgMenu = nullptr;
    QMenu* dxbrpmnRMenu = nullptr;
    QAction* dxbrbtnFullMode = nullptr;
    QAction* dxbrbtnMatchPath = nullptr;
    QAction* dxbrbtnOptions = nullptr;
    QAction* dxbrbtnHelp = nullptr;
    QAction* dxbrbtnHomePage = nullptr;
    QAction* dxbrbtnCheckforUpdate = nullptr;
    QAction* dxbrbtnExit = nullptr;

    const app::HotkeyPair& Hotkey() const { return m_hotkey; }
    bool HotkeyListening() const;

protected:
    // The close request: hides both windows, frees the settings, stops the engine's listener and
    // search, waits for the index thread and frees the drop-down.
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RunTyping();
    void ShowGroupFileProblem(const QString& message);

    const config::TLanguage& m_language;
    std::unique_ptr<core::TInitThread> m_initThread;
    std::unique_ptr<platform::X11RawKeys> m_rawKeys;
    app::HotkeyPair m_hotkey;
    std::unique_ptr<views::TTypingPace> m_typingPace;
    bool m_closed = false;
    QPoint m_dragOffset;
    bool m_dragging = false;
};

} // namespace kestrel::app
