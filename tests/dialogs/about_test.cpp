// The About box in a real window under Xvfb, with the real text library: the version of this test
// program (its embedded version strings), the notice, the link, texts set anew on every showing, and
// the banner's drag.
#include "dialogs_test_support.h"
#include "unit_about.h"
#include "wait_for.h"

#include "UnitLanguageRegConfig.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTest>

namespace kestrel::dialogs {
namespace {

using test::WaitFor;

const QString kKey = QString::fromLatin1(config::kProgramKeyPath);

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::Language().SetLanguage(config::kHkeyCurrentUser, kKey, "English"));
    }
    void TearDown() override { test::Language().SetLanguage(config::kHkeyCurrentUser, kKey, "English"); }

    static bool Shown(QWidget& widget) {
        widget.show();
        return WaitFor([&] {
            return widget.isVisible() && widget.windowHandle() && widget.windowHandle()->isExposed();
        });
    }
};

TEST_F(AboutTest, ShowsTheVersionTheLinkAndTheNotice) {
    const config::TLanguage& language = test::Language();
    TfrmAbout about(language);
    ASSERT_TRUE(Shown(about));
    EXPECT_EQ(about.size(), QSize(354, 163));
    EXPECT_EQ(about.windowTitle(), language.GetText("3707001"));
    EXPECT_EQ(about.labVersionInformation->text(),
              language.GetText("3707002") + " " + QString::fromLatin1(KESTREL_TEST_FILE_VERSION));
    EXPECT_FALSE(language.GetText("3707004").isEmpty());
    EXPECT_EQ(about.labCompanyInformation->text(), language.GetText("3707004"));
    EXPECT_EQ(about.labWebsiteInformation->text(), language.GetText("3707003"));
    EXPECT_TRUE(about.labWebsite->text().contains(QString::fromLatin1(kWebsiteAddress)));
    EXPECT_EQ(about.labWebsite->cursor().shape(), Qt::PointingHandCursor);
    // Every label lies inside the dialog and clear of the button.
    for (QLabel* label : {about.labVersionInformation, about.labWebsiteInformation, about.labWebsite,
                          about.labCompanyInformation}) {
        EXPECT_TRUE(about.rect().contains(label->geometry())) << label->objectName().toStdString();
        EXPECT_FALSE(label->geometry().intersects(about.btnOK->geometry()))
            << label->objectName().toStdString();
    }
}

TEST_F(AboutTest, AProgramWithoutVersionStringsShowsTheLabelAlone) {
    const config::TLanguage& language = test::Language();
    TfrmAbout about(language, nullptr, QStringLiteral("/nonexistent/program"));
    ASSERT_TRUE(Shown(about));
    EXPECT_EQ(about.labVersionInformation->text(), language.GetText("3707002") + " ");
}

TEST_F(AboutTest, ReopeningShowsTheTextsOfANewlyChosenLanguage) {
    config::TLanguage& language = test::Language();
    TfrmAbout about(language);
    ASSERT_TRUE(Shown(about));
    const QString english = about.labCompanyInformation->text();
    const QString englishTitle = about.windowTitle();
    about.hide();

    ASSERT_TRUE(language.SetLanguage(config::kHkeyCurrentUser, kKey, QStringLiteral("简体中文")));
    // Hidden, it keeps the old texts until it is shown again.
    EXPECT_EQ(about.labCompanyInformation->text(), english);
    ASSERT_TRUE(Shown(about));
    EXPECT_EQ(about.windowTitle(), language.GetText("3707001"));
    EXPECT_NE(about.windowTitle(), englishTitle);
    EXPECT_EQ(about.labCompanyInformation->text(), language.GetText("3707004"));
    EXPECT_NE(about.labCompanyInformation->text(), english);
    EXPECT_TRUE(about.labVersionInformation->text().endsWith(QString::fromLatin1(KESTREL_TEST_FILE_VERSION)));
}

TEST_F(AboutTest, OpensCentredOnItsOwner) {
    QWidget owner;
    owner.setGeometry(100, 150, 700, 400);
    ASSERT_TRUE(Shown(owner));
    TfrmAbout about(test::Language(), &owner);
    ASSERT_TRUE(Shown(about));
    const QPoint offset = about.geometry().center() - owner.geometry().center();
    EXPECT_LE(offset.manhattanLength(), 4) << offset.x() << "," << offset.y();
}

TEST_F(AboutTest, StaysOnTheScreenWhenItsOwnerSitsAtTheBottomEdge) {
    QWidget owner(nullptr, Qt::FramelessWindowHint);
    const QRect area = QApplication::primaryScreen()->availableGeometry();
    owner.setGeometry(area.right() - 565, area.bottom() - 34, 565, 34);
    ASSERT_TRUE(Shown(owner));
    TfrmAbout about(test::Language(), &owner);
    ASSERT_TRUE(Shown(about));
    EXPECT_TRUE(area.contains(about.geometry())) << about.geometry().bottom() << " > " << area.bottom();
    EXPECT_EQ(about.geometry().center().x(), owner.geometry().center().x());
}

TEST_F(AboutTest, OkClosesWithCancelAndTheLinkOpensTheSite) {
    test::UrlRecorder recorder;
    TfrmAbout about(test::Language());
    ASSERT_TRUE(Shown(about));
    // A click on the link text itself.
    QTest::mouseClick(about.labWebsite, Qt::LeftButton, {}, QPoint(4, about.labWebsite->height() / 2));
    ASSERT_TRUE(WaitFor([&] { return !recorder.opened.empty(); }, 3000));
    EXPECT_EQ(recorder.opened.front(), QUrl(QString::fromLatin1(kWebsiteAddress)));

    int result = -1;
    QObject::connect(&about, &QDialog::finished, [&](int r) { result = r; });
    about.btnOK->click();
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(about.isVisible());
}

TEST_F(AboutTest, OnlyTheLeftButtonOnTheBannerMovesTheDialog) {
    TfrmAbout about(test::Language());
    ASSERT_TRUE(Shown(about));
    about.move(200, 200);
    ASSERT_TRUE(WaitFor([&] { return about.pos() == QPoint(200, 200); }));
    const QPoint start = about.pos();
    const QPoint grip(40, 30);
    const QPoint globalGrip = about.imgAbout->mapToGlobal(grip);
    auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, about.imgAbout->mapFromGlobal(global), global, button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(about.imgAbout, &event);
    };

    send(QEvent::MouseButtonPress, globalGrip, Qt::RightButton, Qt::RightButton);
    send(QEvent::MouseMove, globalGrip + QPoint(60, 40), Qt::NoButton, Qt::RightButton);
    send(QEvent::MouseButtonRelease, globalGrip + QPoint(60, 40), Qt::RightButton, Qt::NoButton);
    QTest::qWait(100);
    EXPECT_EQ(about.pos(), start);

    // Without a window manager (bare Xvfb) the dialog follows the pointer itself.
    send(QEvent::MouseButtonPress, globalGrip, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, globalGrip + QPoint(60, 40), Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, globalGrip + QPoint(60, 40), Qt::LeftButton, Qt::NoButton);
    EXPECT_TRUE(WaitFor([&] { return about.pos() == start + QPoint(60, 40); }, 3000))
        << about.pos().x() << "," << about.pos().y();
}

} // namespace
} // namespace kestrel::dialogs
