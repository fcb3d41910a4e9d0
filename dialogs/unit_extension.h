// TfrmExtension: the list of file extensions that hangs below the group editor's entry box and
// proposes the extensions the system knows, each with its file type. The group editor creates, fills,
// shows, hides and places it; a double-click adds the first selected row to the editor's list.
#pragma once

#include <QWidget>

#include <functional>

class QTreeWidget;

namespace kestrel::config {
class TLanguage;
}

namespace kestrel::dialogs {

class TfrmExtension : public QWidget {
    Q_OBJECT
public:
    // Adds one pattern with its file type to the group editor's list (the editor skips a pattern it
    // already holds).
    using AddRow = std::function<void(const QString& pattern, const QString& fileType)>;

    // A frameless tool window over editor: it stays above it and usable while the editor runs modally,
    // and never takes the focus from the entry box. Created hidden. language must outlive it.
    TfrmExtension(const config::TLanguage& language, QWidget* editor, AddRow addRow);

    // The column headers from the text catalogue.
    void InitLanguages();

    // Adds the first selected row (in row order) through the editor; nothing without a selection.
    void lvContentDblClick();

    QTreeWidget* lvContent = nullptr;

private:
    const config::TLanguage& m_language;
    AddRow m_addRow;
};

} // namespace kestrel::dialogs
