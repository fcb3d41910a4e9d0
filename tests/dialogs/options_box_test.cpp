// The Options item of the compact box with the real box, drop-down, engine, text library, settings
// store and group file: after OK the drop-down shows the new group's button, and a language chosen
// in the dialog relabels the open windows, but only when OK follows.
#include <gtest/gtest.h>

#include "UnitLanguageRegConfig.h"
#include "data_thread.h"
#include "frm_search_main.h"
#include "frm_search_results.h"
#include "group_file.h"
#include "gui_test_support.h"
#include "image_button.h"
#include "result_pane.h"
#include "unit_group_setting.h"
#include "unit_main.h"
#include "unit_settings.h"
#include "wait_for.h"
#include "when_modal.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QXmlStreamReader>

namespace kestrel::app {
namespace {

using test::WaitFor;
using test::WhenModal;

class OptionsBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        language = std::make_unique<config::TLanguage>(config::kHkeyCurrentUser,
                                                       QString::fromLatin1(config::kLanguageLibrary),
                                                       QString::fromLatin1(config::kProgramKeyPath));
        ASSERT_TRUE(language->SetLanguage(config::kHkeyCurrentUser,
                                          QString::fromLatin1(config::kProgramKeyPath),
                                          QStringLiteral("English")));
        core::InitSharedState();
        core::SetStatusTextLookup(
            [this](const QString& id, const QString& arg) { return language->GetText(id, arg); });
        box = std::make_unique<TfrmSearchMain>(*language);
        box->show();
        ASSERT_TRUE(test::WaitForIndex());
    }
    void TearDown() override {
        box.reset();
        core::SetStatusTextLookup(nullptr);
    }

    // Opens Options from the menu item; in the dialog picks Chinese and adds "Projects" (*.cpp, *.h),
    // then confirms or cancels.
    bool RunOptions(bool confirm) {
        const auto ran = WhenModal<dialogs::TfrmSetting>([&](dialogs::TfrmSetting* setting) {
            const int chinese = setting->cbbLanguage->findText(QStringLiteral("简体中文"));
            ASSERT_GE(chinese, 0);
            setting->cbbLanguage->setCurrentIndex(chinese);
            emit setting->cbbLanguage->activated(chinese);
            ASSERT_TRUE(setting->LanguageChanged);
            const auto edited = WhenModal<dialogs::TfrmGroupSetting>([](dialogs::TfrmGroupSetting* editor) {
                editor->edtName->setText(QStringLiteral("Projects"));
                editor->AddContentRow(QStringLiteral("*.cpp"), QString());
                editor->AddContentRow(QStringLiteral("*.h"), QString());
                editor->btnOKClick();
            });
            setting->btnAddClick();
            EXPECT_TRUE(*edited);
            (confirm ? setting->btnOk : setting->btnCancel)->click();
        });
        EXPECT_TRUE(box->dxbrbtnOptions->isEnabled());
        box->dxbrbtnOptions->trigger();
        return *ran;
    }

    // Opens Options from the Full Mode window's Edit menu and picks Chinese there, then closes the
    // full window. Returns whether the full window showed the new texts while still open.
    bool RunOptionsFromTheFullWindow() {
        bool relabelled = false;
        QTimer::singleShot(0, [&] {
            views::TfrmMain* full = nullptr;
            if (!WaitFor([&] { return (full = box->FullForm) && full->isVisible(); }))
                return;
            const QString english = full->dxbrbtnOptions->text();
            const auto ran = WhenModal<dialogs::TfrmSetting>([&](dialogs::TfrmSetting* setting) {
                const int chinese = setting->cbbLanguage->findText(QStringLiteral("简体中文"));
                ASSERT_GE(chinese, 0);
                setting->cbbLanguage->setCurrentIndex(chinese);
                emit setting->cbbLanguage->activated(chinese);
                setting->btnOk->click();
            });
            EXPECT_TRUE(full->dxbrbtnOptions->isEnabled());
            full->dxbrbtnOptions->trigger();
            EXPECT_TRUE(*ran);
            relabelled = full->dxbrbtnOptions->text() != english &&
                         full->dxbrbtnOptions->text() == language->GetText(QStringLiteral("3701002"));
            full->dxbrbtnClose->trigger();
        });
        // Should the window never open as expected, it is closed after a while so that the test ends.
        QTimer::singleShot(30000, box.get(), [this] {
            if (box->FullForm)
                box->FullForm->close();
        });
        box->dxbrbtnFullMode->trigger();
        return relabelled;
    }

    QStringList ButtonCaptions() const {
        QStringList captions;
        for (views::TZevImageBtn* button : box->ResultsForm->Pane->GroupButtons())
            captions << button->text();
        return captions;
    }

    std::unique_ptr<config::TLanguage> language;
    std::unique_ptr<TfrmSearchMain> box;
};

TEST_F(OptionsBoxTest, OkShowsTheNewGroupAndTheChosenLanguage) {
    const QString english = box->dxbrbtnOptions->text();
    ASSERT_FALSE(ButtonCaptions().contains("Projects"));
    ASSERT_TRUE(RunOptions(true));

    EXPECT_TRUE(language->CurrentCode().startsWith("zh"));
    const QString chinese = language->GetText(QStringLiteral("3701002"));
    EXPECT_NE(chinese, english);
    EXPECT_EQ(box->dxbrbtnOptions->text(), chinese);
    EXPECT_EQ(box->ResultsForm->Pane->imgAll->text(), language->GetText(QStringLiteral("3702001")));
    EXPECT_TRUE(ButtonCaptions().contains("Projects"));
    EXPECT_TRUE(box->ResultsForm->Pane->imgAll->isChecked());
    ASSERT_FALSE(box->GroupList.empty());
    EXPECT_EQ(box->GroupList.back()->Name, "Projects");

    QFile file(core::GroupFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QStringList names;
    QStringList lastContent;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"Group") {
            names << xml.attributes().value(QStringLiteral("Name")).toString();
            lastContent.clear();
        } else if (xml.name() == u"Content") {
            lastContent << xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError());
    EXPECT_EQ(names.last(), "Projects");
    EXPECT_EQ(lastContent, (QStringList{"*.cpp", "*.h"}));
}

TEST_F(OptionsBoxTest, CancelKeepsTheOpenWindowsTexts) {
    const QString english = box->dxbrbtnOptions->text();
    ASSERT_TRUE(RunOptions(false));
    // The catalogue switched at once, the open box keeps its texts, and the file is not written.
    EXPECT_TRUE(language->CurrentCode().startsWith("zh"));
    EXPECT_EQ(box->dxbrbtnOptions->text(), english);
    EXPECT_FALSE(ButtonCaptions().contains("Projects"));
    EXPECT_FALSE(QFile::exists(core::GroupFilePath()));
}

TEST_F(OptionsBoxTest, OptionsFromTheFullWindowRelabelsItAndTheBox) {
    const QString english = box->dxbrbtnOptions->text();
    EXPECT_TRUE(RunOptionsFromTheFullWindow());
    EXPECT_TRUE(language->CurrentCode().startsWith("zh"));
    EXPECT_NE(box->dxbrbtnOptions->text(), english);
    EXPECT_EQ(box->dxbrbtnOptions->text(), language->GetText(QStringLiteral("3701002")));
}

} // namespace
} // namespace kestrel::app
