// The Full Mode window with the real engine over a real tree, in real windows on the X display:
// selection by xdotool clicks, the save dialog and the replace question answered through
// QApplication::activeModalWidget, the clipboard read back by xclip from another process, and the
// compact box opening the window and toggling it with two real Ctrl presses.
#include <gtest/gtest.h>

#include "UnitLanguageRegConfig.h"
#include "clipboard.h"
#include "data_thread.h"
#include "frm_search_main.h"
#include "frm_search_results.h"
#include "group_file.h"
#include "gui_test_support.h"
#include "start_menu.h"
#include "unit_main.h"
#include "wait_for.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QWindow>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace kestrel::views {
namespace {

using test::ClickAt;
using test::Folders;
using test::WaitFor;
using test::Xdotool;

// Runs act on the first modal widget of type T that appears within timeoutMs, again on each tick
// until act returns true (done). When that does not happen in time, whatever modal widget is open
// then is closed, so that the test ends.
template <typename T> void WhenModal(std::function<bool(T*)> act, int timeoutMs = 10000) {
    auto* timer = new QTimer;
    auto deadline = std::make_shared<QDeadlineTimer>(timeoutMs);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, deadline] {
        if (auto* widget = qobject_cast<T*>(QApplication::activeModalWidget())) {
            if (widget->isVisible() && act(widget)) {
                timer->stop();
                timer->deleteLater();
                return;
            }
        }
        if (deadline->hasExpired()) {
            QWidget* open = QApplication::activeModalWidget();
            ADD_FAILURE() << "no modal " << T::staticMetaObject.className()
                          << " done in time; open: " << (open ? open->metaObject()->className() : "none");
            timer->stop();
            timer->deleteLater();
            if (open)
                open->close();
        }
    });
    timer->start(20);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What another process reads from the clipboard as text/uri-list, one URI a line. The event loop runs
// meanwhile: this process owns the clipboard and must answer.
QStringList ClipboardUris() {
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {"-o", "-selection", "clipboard", "-t", "text/uri-list"});
    if (!WaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 10000)) {
        xclip.kill();
        xclip.waitForFinished();
        return {QStringLiteral("<xclip did not finish>")};
    }
    const QString out = QString::fromLatin1(xclip.readAllStandardOutput());
    QStringList uris;
    for (const QString& line : out.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts))
        if (!line.startsWith(QLatin1Char('#')))
            uris << line;
    return uris;
}

QString UriOfRow(int row) {
    return QString::fromLatin1(platform::FileUriOf(RecordPath(core::ResultAt(row))));
}

class FullWindowTest : public ::testing::Test {
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
        for (int i = 1; i <= 5; ++i)
            test::MakeFile(Folders().tree + "/five/kappa-" + std::to_string(i) + ".txt", 10 * i);
    }
    // Indexes the tree, shows the window and searches text.
    void Start(const QString& text, int rows) {
        init = std::make_unique<core::TInitThread>();
        ASSERT_TRUE(test::WaitForIndex());
        form = std::make_unique<TfrmMain>(*language);
        form->SetGroupList(&groups);
        form->move(20, 20);
        form->show();
        form->activateWindow();
        ASSERT_TRUE(WaitFor([this] { return form->isVisible() && form->windowHandle()->isExposed(); }));
        pane = form->Pane;
        ASSERT_TRUE(WaitFor([this] { return !pane->tmrScanFile->isActive(); }));
        form->edtSearch->setText(text);
        ASSERT_TRUE(WaitFor(
            [&] {
                return !core::SearchRunning && core::LiveSearchThreadCount() == 0 &&
                       pane->Model()->rowCount() == rows && pane->SearchText() == text;
            },
            10000));
    }
    void TearDown() override {
        core::StopSearchThreads();
        form.reset();
        StopFileListensThread(nullptr);
        init.reset();
        core::SetStatusTextLookup(nullptr);
    }
    QRect RowRect(int row) const { return pane->lvFiles->visualRect(pane->Model()->index(row, 0)); }
    bool CtrlClickRow(int row) {
        const QPoint at = pane->lvFiles->viewport()->mapToGlobal(RowRect(row).center());
        return Xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()), "keydown", "ctrl",
                        "click", "1", "keyup", "ctrl"});
    }
    int SelectedCount() const {
        return static_cast<int>(pane->lvFiles->selectionModel()->selectedRows().size());
    }
    // Every result's path and a line feed, in the list's order.
    std::string ExpectedExport() const {
        std::string text;
        for (size_t i = 0; i < core::ResultList.size(); ++i)
            text += RecordPath(core::ResultAt(static_cast<int32_t>(i))) + "\n";
        return text;
    }

    core::TGroupList groups;
    std::unique_ptr<config::TLanguage> language;
    std::unique_ptr<core::TInitThread> init;
    std::unique_ptr<TfrmMain> form;
    TResultPane* pane = nullptr;
};

TEST_F(FullWindowTest, ExportWritesEveryResultAndAsksBeforeReplacing) {
    Start(QStringLiteral("beta"), 3);
    ASSERT_TRUE(ClickAt(pane->lvFiles->viewport(), RowRect(1)));
    ASSERT_TRUE(WaitFor([&] { return SelectedCount() == 1 && form->dxbrbtnOpen->isEnabled(); }));
    const std::string folder = Folders().base + "/export";
    std::filesystem::create_directories(folder);
    const std::string target = folder + "/list.txt";
    auto choose = [](const std::string& name) {
        WhenModal<QFileDialog>([name](QFileDialog* dialog) {
            EXPECT_EQ(dialog->objectName(), QStringLiteral("dlgSaveExport"));
            // Typed as a user would: the folder, then the name in the dialog's name field.
            const QFileInfo file(QString::fromStdString(name));
            if (dialog->directory().absolutePath() != file.absolutePath())
                dialog->setDirectory(file.absolutePath());
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!edit)
                return false;
            edit->setText(file.fileName());
            static_cast<QDialog*>(dialog)->accept();
            // While the dialog still reads its folder it may keep itself open; the next tick retries.
            return !dialog->isVisible();
        });
    };

    // A name without ".txt" gets it; one selected row still exports all three.
    choose(folder + "/list");
    form->dxbrlrgbtnExportClick();
    const std::string three = ExpectedExport();
    EXPECT_EQ(std::count(three.begin(), three.end(), '\n'), 3);
    EXPECT_NE(three.find("/docs/beta-plan.txt\n"), std::string::npos);
    EXPECT_EQ(ReadFile(target), three);
    EXPECT_FALSE(std::filesystem::exists(target + ".txt"));

    // The same file again: the question names it; Cancel keeps the file.
    std::ofstream(target, std::ios::binary | std::ios::trunc) << "keep\n";
    QString question;
    auto answer = [&question](QMessageBox::StandardButton button) {
        WhenModal<QMessageBox>([&question, button](QMessageBox* box) {
            question = box->text();
            EXPECT_EQ(box->icon(), QMessageBox::Warning);
            box->button(button)->click();
            return true;
        });
    };
    choose(target);
    answer(QMessageBox::Cancel);
    form->dxbrlrgbtnExportClick();
    EXPECT_EQ(question, QStringLiteral("'") + QString::fromStdString(target) + QStringLiteral("'") +
                            language->GetText(QStringLiteral("3703027")));
    EXPECT_EQ(ReadFile(target), "keep\n");

    // OK replaces it.
    question.clear();
    choose(folder + "/list");
    answer(QMessageBox::Ok);
    form->dxbrlrgbtnExportClick();
    EXPECT_FALSE(question.isEmpty());
    EXPECT_EQ(ReadFile(target), three);
}

TEST_F(FullWindowTest, CopyPutsExactlyTheTwoSelectedFilesOnTheClipboard) {
    Start(QStringLiteral("kappa"), 5);
    EXPECT_FALSE(form->dxbrbtnCopy->isEnabled());
    ASSERT_TRUE(ClickAt(pane->lvFiles->viewport(), RowRect(1)));
    ASSERT_TRUE(WaitFor([&] { return SelectedCount() == 1; }));
    ASSERT_TRUE(CtrlClickRow(3));
    ASSERT_TRUE(WaitFor([&] { return SelectedCount() == 2; }));
    ASSERT_TRUE(form->dxbrbtnCopy->isEnabled());
    form->dxbrbtnCopy->trigger();
    const QStringList expected{UriOfRow(1), UriOfRow(3)};
    EXPECT_TRUE(expected[0].contains(QStringLiteral("/five/kappa-")));
    EXPECT_NE(expected[0], expected[1]);
    EXPECT_EQ(ClipboardUris(), expected);
}

TEST_F(FullWindowTest, SelectAllThenCopyTakesEveryResultUntilAClickReleasesIt) {
    Start(QStringLiteral("kappa"), 5);
    ASSERT_TRUE(ClickAt(pane->lvFiles->viewport(), RowRect(0)));
    ASSERT_TRUE(WaitFor([&] { return SelectedCount() == 1; }));
    form->dxbrbtnSelectAll->trigger();
    EXPECT_TRUE(form->dxbrbtnSelectAll->isChecked());
    EXPECT_EQ(SelectedCount(), 5);
    form->dxbrbtnCopy->trigger();
    QStringList every;
    for (int row = 0; row < 5; ++row)
        every << UriOfRow(row);
    EXPECT_EQ(ClipboardUris(), every);

    // A click in the list releases it; the click's own selection is what Copy takes then.
    ASSERT_TRUE(ClickAt(pane->lvFiles->viewport(), RowRect(2)));
    ASSERT_TRUE(WaitFor([&] { return !form->dxbrbtnSelectAll->isChecked() && SelectedCount() == 1; }));
    form->dxbrbtnCopy->trigger();
    EXPECT_EQ(ClipboardUris(), QStringList{UriOfRow(2)});
}

TEST_F(FullWindowTest, ArrangeBySizeTwiceAndTextSizeSteps) {
    Start(QStringLiteral("kappa"), 5);
    auto sizes = [] {
        std::vector<uint64_t> values;
        for (size_t i = 0; i < core::ResultList.size(); ++i)
            values.push_back(core::ResultAt(static_cast<int32_t>(i))->Size);
        return values;
    };
    form->dxbrbtnSize->trigger();
    EXPECT_EQ(sizes(), (std::vector<uint64_t>{10, 20, 30, 40, 50}));
    EXPECT_EQ(core::SortState.SortKey, 2);
    EXPECT_FALSE(core::SortState.SortDescending);
    form->dxbrbtnSize->trigger();
    EXPECT_EQ(sizes(), (std::vector<uint64_t>{50, 40, 30, 20, 10}));
    EXPECT_TRUE(core::SortState.SortDescending);
    EXPECT_EQ(pane->Model()->index(0, 0).data().toString(), QStringLiteral("kappa-5.txt"));

    EXPECT_EQ(form->TextSize(), 8);
    form->dxbrbtnDecrease->trigger();
    EXPECT_EQ(form->TextSize(), 8);
    for (int i = 0; i < 3; ++i)
        form->dxbrbtnIncrease->trigger();
    EXPECT_EQ(form->TextSize(), 11);
    form->dxbrbtnNormal->trigger();
    EXPECT_EQ(form->TextSize(), 8);
}

// The compact box opens the full window with its text and toggles it with the double Ctrl.
class FullModeFromTheBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        language = std::make_unique<config::TLanguage>(config::kHkeyCurrentUser,
                                                       QString::fromLatin1(config::kLanguageLibrary),
                                                       QString::fromLatin1(config::kProgramKeyPath));
        core::InitSharedState();
        core::SetStatusTextLookup(
            [this](const QString& id, const QString& arg) { return language->GetText(id, arg); });
        box = std::make_unique<app::TfrmSearchMain>(*language);
        box->show();
        box->activateWindow();
        ASSERT_TRUE(test::WaitForIndex());
        ASSERT_TRUE(WaitFor([this] { return box->isActiveWindow() && box->edtSearch->hasFocus(); }));
    }
    void TearDown() override {
        box.reset();
        core::SetStatusTextLookup(nullptr);
    }
    std::unique_ptr<config::TLanguage> language;
    std::unique_ptr<app::TfrmSearchMain> box;
};

std::set<QString> NamesOf(const QAbstractItemModel* model) {
    std::set<QString> names;
    for (int row = 0; row < model->rowCount(); ++row)
        names.insert(model->index(row, 0).data().toString());
    return names;
}

TEST_F(FullModeFromTheBoxTest, OpensWithTheBoxTextShowsTheSameResultsAndFollowsTheDoubleCtrl) {
    ASSERT_TRUE(box->HotkeyListening());
    ASSERT_TRUE(box->dxbrbtnFullMode->isEnabled());
    ASSERT_TRUE(Xdotool({"type", "--delay", "40", "alpha"}));
    TResultPane* dropDown = box->ResultsForm->Pane;
    ASSERT_TRUE(WaitFor(
        [&] {
            return box->ResultsForm->isVisible() && !core::SearchRunning &&
                   dropDown->Model()->rowCount() == 8;
        },
        10000));
    const std::set<QString> shown = NamesOf(dropDown->Model());

    bool checked = false;
    QTimer::singleShot(0, [&] {
        TfrmMain* full = nullptr;
        const bool open = WaitFor(
            [&] {
                full = box->FullForm;
                return full && full->isVisible() && full->windowHandle()->isExposed() &&
                       !core::SearchRunning && core::LiveSearchThreadCount() == 0 &&
                       full->Pane->Model()->rowCount() == 8;
            },
            10000);
        EXPECT_TRUE(open);
        if (!full)
            return;
        if (open) {
            EXPECT_EQ(full->edtSearch->text(), QStringLiteral("alpha"));
            EXPECT_EQ(NamesOf(full->Pane->Model()), shown);
            EXPECT_EQ(full->Pane->Model()->columnCount(), 4);
            EXPECT_FALSE(box->isVisible());
            EXPECT_FALSE(box->ResultsForm->isVisible());
            // Two Ctrl presses hide the full window only; two more show it again.
            EXPECT_TRUE(Xdotool({"key", "Control_L", "sleep", "0.15", "key", "Control_L"}));
            EXPECT_TRUE(WaitFor([&] { return !full->isVisible(); }));
            EXPECT_FALSE(box->isVisible());
            EXPECT_TRUE(Xdotool({"key", "Control_L", "sleep", "0.15", "key", "Control_L"}));
            EXPECT_TRUE(WaitFor([&] { return full->isVisible(); }));
            EXPECT_FALSE(box->isVisible());
            checked = true;
        }
        full->dxbrbtnClose->trigger();
    });
    // Should the window never open as expected, it is closed after a while so that the test ends.
    QTimer::singleShot(30000, box.get(), [&] {
        if (box->FullForm)
            box->FullForm->close();
    });
    box->dxbrbtnFullMode->trigger();
    EXPECT_TRUE(checked);
    EXPECT_EQ(box->FullForm, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->edtSearch->text().isEmpty());
    EXPECT_TRUE(box->findChildren<TfrmMain*>().isEmpty());
}

} // namespace
} // namespace kestrel::views
