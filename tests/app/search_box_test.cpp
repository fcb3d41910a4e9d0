// The compact box in a real window with the real engine over a temporary tree: keys typed by
// xdotool, Ctrl presses on the X display, and the real program started twice.
#include <gtest/gtest.h>

#include "UnitLanguageRegConfig.h"
#include "data_thread.h"
#include "frm_search_main.h"
#include "frm_search_results.h"
#include "gui_test_support.h"
#include "image_button.h"
#include "wait_for.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QUrlQuery>

namespace kestrel::app {
namespace {

using test::WaitFor;
using test::Xdotool;

class SearchBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        language = std::make_unique<config::TLanguage>(config::kHkeyCurrentUser,
                                                       QString::fromLatin1(config::kLanguageLibrary),
                                                       QString::fromLatin1(config::kProgramKeyPath));
        core::InitSharedState();
        core::SetStatusTextLookup(
            [this](const QString& id, const QString& arg) { return language->GetText(id, arg); });
        box = std::make_unique<TfrmSearchMain>(*language);
        box->show();
        box->activateWindow();
        ASSERT_TRUE(test::WaitForIndex());
        ASSERT_TRUE(WaitFor([this] { return box->isActiveWindow() && box->edtSearch->hasFocus(); }));
    }
    void TearDown() override {
        box.reset();
        core::SetStatusTextLookup(nullptr);
    }
    views::TResultPane* Pane() const { return box->ResultsForm->Pane; }

    std::unique_ptr<config::TLanguage> language;
    std::unique_ptr<TfrmSearchMain> box;
};

TEST_F(SearchBoxTest, StartsAtTheBottomRightOfTheWorkArea) {
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(box->size(), QSize(565, 34));
    EXPECT_EQ(box->geometry().bottom() + 1, work.bottom() + 1);
    EXPECT_EQ(box->geometry().right() + 1, work.right() + 1 - 2);
}

TEST_F(SearchBoxTest, TypingOpensTheDropDownOnAllAndClearingClosesIt) {
    ASSERT_TRUE(Xdotool({"type", "--delay", "40", "alpha"}));
    views::TfrmSearchResults* results = box->ResultsForm;
    ASSERT_TRUE(WaitFor(
        [&] {
            return results->isVisible() && results->SearchText == QStringLiteral("alpha") &&
                   !core::SearchRunning && Pane()->Model()->rowCount() == 8;
        },
        10000));
    EXPECT_TRUE(Pane()->imgAll->isChecked());
    EXPECT_EQ(Pane()->CurrentGroupButton(), Pane()->imgAll);
    EXPECT_EQ(Pane()->dxstsbrButtom->PanelText(0),
              language->GetText(QStringLiteral("3702008"), QStringLiteral("8")));
    // The box sits on the work area's bottom, so the drop-down opens above it, attached.
    EXPECT_EQ(results->geometry().bottom() + 1, box->geometry().top());
    EXPECT_EQ(results->x(), box->x());
    // Focus stays in the box while the list is shown.
    EXPECT_TRUE(box->edtSearch->hasFocus());

    // Moving the box carries the drop-down along, now below it.
    box->move(100, 50);
    ASSERT_TRUE(WaitFor([&] { return results->pos() == QPoint(100, 50 + box->height()); }));

    ASSERT_TRUE(Xdotool({"key", "ctrl+a", "BackSpace"}));
    ASSERT_TRUE(WaitFor([&] { return !results->isVisible(); }));
    EXPECT_TRUE(box->edtSearch->text().isEmpty());
    EXPECT_EQ(core::SortState.SortKey, -1);
}

TEST_F(SearchBoxTest, TwoCtrlPressesHideTheBoxAndTwoMoreShowIt) {
    ASSERT_TRUE(box->HotkeyListening());
    ASSERT_TRUE(Xdotool({"type", "alpha"}));
    ASSERT_TRUE(WaitFor([&] { return box->ResultsForm->isVisible(); }));
    ASSERT_TRUE(Xdotool({"key", "Control_L", "sleep", "0.15", "key", "Control_L"}));
    ASSERT_TRUE(WaitFor([&] { return !box->isVisible(); }));
    EXPECT_FALSE(box->ResultsForm->isVisible());
    ASSERT_TRUE(Xdotool({"key", "Control_L", "sleep", "0.15", "key", "Control_L"}));
    ASSERT_TRUE(WaitFor([&] { return box->isVisible(); }));
    EXPECT_EQ(box->Hotkey().count(), 0);
}

TEST(WebSearch, CollapsesStarsAndEncodesTheQuery) {
    const QUrl url(WebSearchUrl(QStringLiteral("a**b***c & d+e#f")));
    EXPECT_EQ(url.host(), QStringLiteral("www.google.com"));
    EXPECT_EQ(url.path(), QStringLiteral("/search"));
    EXPECT_EQ(QUrlQuery(url).queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded),
              QStringLiteral("a*b*c & d+e#f"));
    EXPECT_FALSE(url.hasFragment());
}

// The real program, started as a user would.
class ProgramTest : public ::testing::Test {
protected:
    static int CountVisibleBoxes() {
        QProcess search;
        search.start(QStringLiteral("xdotool"),
                     {"search", "--onlyvisible", "--name", QStringLiteral("^Kestrel Find$")});
        if (!search.waitForFinished(10000))
            return -1;
        return static_cast<int>(search.readAllStandardOutput().trimmed().split('\n').count() -
                                (search.exitCode() != 0 ? 1 : 0));
    }
    void Start(QProcess& program) {
        program.setProgram(QStringLiteral(KESTRELFIND_PROGRAM));
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start();
        ASSERT_TRUE(program.waitForStarted(10000));
    }
    void TearDown() override {
        for (QProcess* program : {&first, &second, &third}) {
            if (program->state() != QProcess::NotRunning) {
                program->kill();
                program->waitForFinished(10000);
            }
        }
    }
    QProcess first, second, third;
};

TEST_F(ProgramTest, ASecondStartRaisesTheFirstAndEndsAlsoAfterACrash) {
    Start(first);
    ASSERT_TRUE(WaitFor([] { return CountVisibleBoxes() == 1; }, 20000));
    // Hide the first copy's box with the hot key, then start a second copy: it brings the box back
    // and ends without a window of its own.
    ASSERT_TRUE(Xdotool({"key", "Control_L", "sleep", "0.15", "key", "Control_L"}));
    ASSERT_TRUE(WaitFor([] { return CountVisibleBoxes() == 0; }, 10000));
    Start(second);
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(WaitFor([] { return CountVisibleBoxes() == 1; }, 10000));
    EXPECT_EQ(first.state(), QProcess::Running);

    // The first copy crashes: the next start runs as the first copy.
    first.kill();
    ASSERT_TRUE(first.waitForFinished(10000));
    ASSERT_TRUE(WaitFor([] { return CountVisibleBoxes() == 0; }, 10000));
    Start(third);
    EXPECT_TRUE(WaitFor([] { return CountVisibleBoxes() == 1; }, 20000));
    EXPECT_EQ(third.state(), QProcess::Running);
}

} // namespace
} // namespace kestrel::app
