#include "unit_extension.h"

#include "UnitLanguageRegConfig.h"

#include <QHeaderView>
#include <QTreeWidget>

namespace kestrel::dialogs {

TfrmExtension::TfrmExtension(const config::TLanguage& language, QWidget* editor, AddRow addRow)
    : QWidget(editor,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      m_language(language), m_addRow(std::move(addRow)) {
    setObjectName(QStringLiteral("frmExtension"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(311, 194);
    lvContent = new QTreeWidget(this);
    lvContent->setObjectName(QStringLiteral("lvContent"));
    lvContent->setGeometry(0, 0, 311, 193);
    lvContent->setColumnCount(2);
    lvContent->setRootIsDecorated(false);
    lvContent->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvContent->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvContent->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvContent->setFocusPolicy(Qt::NoFocus);
    lvContent->header()->setSectionsClickable(false);
    lvContent->setColumnWidth(0, 140);
    lvContent->setColumnWidth(1, 150);
    connect(lvContent, &QTreeWidget::itemDoubleClicked, this, [this] { lvContentDblClick(); });
    InitLanguages();
}

void TfrmExtension::InitLanguages() {
    lvContent->setHeaderLabels(
        {m_language.GetText(QStringLiteral("3705007")), m_language.GetText(QStringLiteral("3705008"))});
}

void TfrmExtension::lvContentDblClick() {
    for (int i = 0; i < lvContent->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = lvContent->topLevelItem(i);
        if (row->isSelected()) {
            m_addRow(row->text(0), row->text(1));
            return;
        }
    }
}

} // namespace kestrel::dialogs
