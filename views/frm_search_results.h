// TfrmSearchResults: the borderless drop-down that lists the results of the box's text, with the
// category bar on its left and the status bar below. The compact window places, shows and hides it
// and sets its search text; it only reacts.
#pragma once

#include <QWidget>

#include "result_pane.h"

namespace kestrel::views {

class TfrmSearchResults : public QWidget {
    Q_OBJECT
public:
    explicit TfrmSearchResults(const config::TLanguage& language, QWidget* parent = nullptr);

    // The text whose results are shown; category clicks read it.
    QString SearchText;

    void SetGroupList(core::TGroupList* groupList) { Pane->SetGroupList(groupList); }
    void InitLanguages() { Pane->InitLanguages(); }
    void GroupButtonInit() { Pane->GroupButtonInit(); }

    TResultPane* const Pane;

signals:
    // The window's size changed (the compact window keeps it attached).
    void resized();

protected:
    // Each time the window appears: rebuilds the group buttons and makes All current.
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kestrel::views
