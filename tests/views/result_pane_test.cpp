// The drop-down's list and category bar with the real engine over a real tree, in a real window on
// the X display; clicks and keys come through xdotool.
#include <gtest/gtest.h>

#include "UnitLanguageRegConfig.h"
#include "context_menu.h"
#include "data_thread.h"
#include "file_manager.h"
#include "frm_search_results.h"
#include "group_file.h"
#include "gui_test_support.h"
#include "image_button.h"
#include "start_menu.h"
#include "wait_for.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <set>
#include <unistd.h>

namespace kestrel::views {
namespace {

using test::ClickAt;
using test::Folders;
using test::WaitFor;

class DropDownTest : public ::testing::Test {
protected:
    void SetUp() override {
        language = std::make_unique<config::TLanguage>(config::kHkeyCurrentUser,
                                                       QString::fromLatin1(config::kLanguageLibrary),
                                                       QString::fromLatin1(config::kProgramKeyPath));
        core::InitSharedState();
        core::SetStatusTextLookup(
            [this](const QString& id, const QString& arg) { return language->GetText(id, arg); });
        core::StartMenuPattern = core::BuildStartMenuPattern();
        core::AddDefaultGroups(groups);
    }
    // Indexes the tree (and starts the listener), then shows the drop-down.
    void Start() {
        init = std::make_unique<core::TInitThread>();
        ASSERT_TRUE(test::WaitForIndex());
        form = std::make_unique<TfrmSearchResults>(*language);
        form->SetGroupList(&groups);
        form->move(40, 40);
        form->show();
        ASSERT_TRUE(WaitFor([this] { return form->isVisible() && form->windowHandle()->isExposed(); }));
        pane = form->Pane;
        // The index-ready tick runs its one search first; a test's own searches come after it.
        ASSERT_TRUE(WaitFor([this] { return !pane->tmrScanFile->isActive(); }));
        ASSERT_TRUE(Settled());
    }
    void TearDown() override {
        core::StopSearchThreads();
        form.reset();
        StopFileListensThread(nullptr);
        init.reset();
        core::SetStatusTextLookup(nullptr);
    }
    bool Settled() {
        return WaitFor([] { return !core::SearchRunning && core::LiveSearchThreadCount() == 0; }, 10000);
    }
    void Search(const QString& text) {
        form->SearchText = text;
        pane->imgAllClick();
        ASSERT_TRUE(Settled());
    }
    std::set<QString> Names() const {
        std::set<QString> names;
        for (int row = 0; row < pane->Model()->rowCount(); ++row)
            names.insert(pane->Model()->index(row, 0).data().toString());
        return names;
    }
    QRect RowRect(int row) const { return pane->lvFiles->visualRect(pane->Model()->index(row, 0)); }

    core::TGroupList groups;
    std::unique_ptr<config::TLanguage> language;
    std::unique_ptr<core::TInitThread> init;
    std::unique_ptr<TfrmSearchResults> form;
    TResultPane* pane = nullptr;
};

TEST_F(DropDownTest, ModelPassesTheTesterThroughSearchesRefreshesAndSorting) {
    Start();
    QAbstractItemModelTester tester(pane->Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    Search(QStringLiteral("alpha"));
    EXPECT_EQ(pane->Model()->rowCount(), 8);
    EXPECT_EQ(pane->dxstsbrButtom->PanelText(0),
              language->GetText(QStringLiteral("3702008"), QStringLiteral("8")));
    Search(QStringLiteral("beta"));
    EXPECT_EQ(Names(), (std::set<QString>{"beta-plan.txt", "beta-song.mp3", "beta-viewer.desktop"}));
    // A refresh in place grows the rows one by one instead of resetting the model.
    form->SearchText = QStringLiteral("alpha");
    core::RefreshInPlace = true;
    pane->ClickCurrentGroupButton();
    ASSERT_TRUE(Settled());
    EXPECT_EQ(pane->Model()->rowCount(), 8);
    pane->lvFilesColumnClick(1);
    EXPECT_EQ(core::SortState.SortKey, 2);
}

TEST_F(DropDownTest, IconsAreLookedUpOnlyForShownRows) {
    for (int i = 0; i < 400; ++i)
        test::MakeFile(Folders().tree + "/many/gamma-" + std::to_string(i) + ".txt");
    Start();
    Search(QStringLiteral("gamma"));
    ASSERT_EQ(pane->Model()->rowCount(), 400);
    auto withIcons = [] {
        int n = 0;
        for (const TItemFileData* record : core::ResultList)
            n += record->IconIndex >= 0;
        return n;
    };
    ASSERT_TRUE(WaitFor([&] { return withIcons() > 0; }));
    EXPECT_LT(withIcons(), 60);
    EXPECT_LT(core::ResultList.back()->IconIndex, 0);
    pane->lvFiles->scrollToBottom();
    ASSERT_TRUE(WaitFor([] { return core::ResultList.back()->IconIndex >= 0; }));
    EXPECT_LT(withIcons(), 120);
}

TEST_F(DropDownTest, SizeHeaderClicksSortSmallToLargeThenLargeToSmall) {
    Start();
    Search(QStringLiteral("alpha"));
    QHeaderView* header = pane->lvFiles->header();
    const QRect size(header->sectionViewportPosition(1), 0, header->sectionSize(1), header->height());
    auto sizes = [] {
        std::vector<int64_t> s;
        for (const TItemFileData* record : core::ResultList)
            s.push_back(record->Size);
        return s;
    };
    ASSERT_TRUE(ClickAt(header->viewport(), size));
    ASSERT_TRUE(WaitFor([] { return core::SortState.SortKey == 2; }));
    const std::vector<int64_t> ascending = sizes();
    EXPECT_TRUE(std::is_sorted(ascending.begin(), ascending.end()));
    EXPECT_EQ(pane->Model()->index(0, 1).data().toString(), QStringLiteral("0 Byte"));
    ASSERT_TRUE(ClickAt(header->viewport(), size));
    ASSERT_TRUE(WaitFor([] { return core::SortState.SortDescending; }));
    const std::vector<int64_t> descending = sizes();
    EXPECT_TRUE(std::is_sorted(descending.rbegin(), descending.rend()));
    EXPECT_EQ(pane->Model()->index(0, 0).data().toString(), QStringLiteral("alpha-report.txt"));
    EXPECT_EQ(pane->Model()->index(0, 1).data().toString(), QStringLiteral("1.50 KB"));
}

TEST_F(DropDownTest, MusicClickGivesTheGroupQueryRows) {
    Start();
    Search(QStringLiteral("alpha"));
    pane->GroupButtonInit();
    TZevImageBtn* music = nullptr;
    for (TZevImageBtn* button : pane->GroupButtons())
        if (button->objectName() == QStringLiteral("Music"))
            music = button;
    ASSERT_NE(music, nullptr);
    ASSERT_TRUE(WaitFor([&] { return music->isVisible(); }));
    ASSERT_TRUE(ClickAt(music, music->rect()));
    ASSERT_TRUE(WaitFor([&] { return pane->CurrentGroupButton() == music; }));
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(music->isChecked());
    EXPECT_FALSE(pane->imgAll->isChecked());
    EXPECT_EQ(Names(), (std::set<QString>{"alpha-song.mp3", "alpha-live.wav"}));
}

TEST_F(DropDownTest, ShortcutsListsTheLaunchersFilteredByTheText) {
    Start();
    Search(QStringLiteral("alpha"));
    ASSERT_TRUE(ClickAt(pane->imgStartMenu, pane->imgStartMenu->rect()));
    ASSERT_TRUE(WaitFor([&] { return pane->CurrentGroupButton() == pane->imgStartMenu; }));
    ASSERT_TRUE(Settled());
    EXPECT_EQ(Names(), (std::set<QString>{"alpha-editor.desktop"}));
    form->SearchText.clear();
    pane->ClickCurrentGroupButton();
    ASSERT_TRUE(Settled());
    EXPECT_EQ(Names(), (std::set<QString>{"alpha-editor.desktop", "beta-viewer.desktop"}));
}

TEST_F(DropDownTest, AFileCreatedInTheTreeAppearsWithinTheRefreshTick) {
    Start();
    Search(QStringLiteral("alpha"));
    ASSERT_EQ(pane->Model()->rowCount(), 8);
    test::MakeFile(Folders().tree + "/docs/alpha-fresh.txt");
    EXPECT_TRUE(WaitFor([&] { return Names().count(QStringLiteral("alpha-fresh.txt")) == 1; }, 9000));
    EXPECT_EQ(pane->Model()->rowCount(), 9);
}

TEST_F(DropDownTest, TypeAheadSelectsTheRowWhoseNameStartsWithTheKeys) {
    Start();
    Search(QStringLiteral("alpha"));
    form->activateWindow();
    pane->lvFiles->setFocus();
    ASSERT_TRUE(WaitFor([&] { return pane->lvFiles->hasFocus(); }));
    ASSERT_TRUE(test::Xdotool({"type", "--delay", "30", "alpha-t"}));
    EXPECT_TRUE(WaitFor([&] {
        return pane->lvFiles->currentIndex().data().toString() == QStringLiteral("alpha-tune.flac");
    }));
    EXPECT_EQ(pane->SelectedRecord(), core::ResultAt(pane->lvFiles->currentIndex().row()));
    // The selection text is the row's folder.
    EXPECT_EQ(pane->dxstsbrButtom->PanelText(1), QString::fromStdString(Folders().tree + "/music/"));
}

TEST_F(DropDownTest, DraggedRowsCarryTheirFilesAsUris) {
    Start();
    Search(QStringLiteral("beta"));
    QModelIndexList rows;
    for (int row = 0; row < pane->Model()->rowCount(); ++row)
        rows << pane->Model()->index(row, 0) << pane->Model()->index(row, 2);
    std::unique_ptr<QMimeData> data(pane->Model()->mimeData(rows));
    ASSERT_NE(data, nullptr);
    std::set<std::string> paths;
    for (const QUrl& url : data->urls())
        paths.insert(url.toLocalFile().toStdString());
    EXPECT_EQ(paths, (std::set<std::string>{Folders().tree + "/docs/beta-plan.txt",
                                            Folders().tree + "/music/beta-song.mp3",
                                            Folders().applications + "/beta-viewer.desktop"}));
}

TEST_F(DropDownTest, ContextMenuOnlyForExistingFilesAndCopyPathCopiesIt) {
    Start();
    platform::FileManager manager;
    const std::string gone = Folders().tree + "/docs/never-there.txt";
    EXPECT_EQ(BuildShellContextMenu(nullptr, gone, manager, *language), nullptr);
    EXPECT_FALSE(ShowShellContextMenu(nullptr, gone, QPoint(10, 10), manager, *language));

    const std::string path = Folders().tree + "/docs/alpha-report.txt";
    std::unique_ptr<QMenu> menu(BuildShellContextMenu(nullptr, path, manager, *language));
    ASSERT_NE(menu, nullptr);
    QStringList names;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            names << (action->menu() ? action->menu()->objectName() : action->objectName());
    EXPECT_EQ(names, (QStringList{"actOpen", "mnuOpenWith", "actShowInFolder", "actCopy", "actCopyPath",
                                  "actMoveToTrash", "actProperties"}));
    menu->findChild<QAction*>(QStringLiteral("actCopyPath"))->trigger();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), path);
    menu.reset();
    // The file vanishes: its menu is no longer offered.
    ASSERT_EQ(::unlink(path.c_str()), 0);
    EXPECT_EQ(BuildShellContextMenu(nullptr, path, manager, *language), nullptr);
}

// The desktop's file manager, as a fake service on a second connection to the session bus.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList uris;
public slots:
    void ShowItems(const QStringList& items, const QString&) { uris << items; }
    void ShowItemProperties(const QStringList&, const QString&) {}
};

TEST_F(DropDownTest, DoubleClickShowsTheFileSelectedInTheFileManager) {
    auto bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-fm"));
    FakeFileManager fake;
    ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fake,
                                   QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.FileManager1")));
    Start();
    Search(QStringLiteral("beta-plan"));
    ASSERT_EQ(pane->Model()->rowCount(), 1);
    ASSERT_TRUE(ClickAt(pane->lvFiles->viewport(), RowRect(0), true));
    EXPECT_TRUE(WaitFor([&] { return !fake.uris.isEmpty(); }, 10000));
    EXPECT_EQ(fake.uris, QStringList{QString::fromLatin1(
                             platform::FileManagerUri(Folders().tree + "/docs/beta-plan.txt"))});
    bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-fm"));
}

} // namespace
} // namespace kestrel::views

#include "result_pane_test.moc"
