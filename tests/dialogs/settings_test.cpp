// The Options dialog, the group editor and its extension picker in real windows under Xvfb with the
// real text library, the real settings store and the real group file. Clicks and keys are sent by
// xdotool to the X display; modal dialogs are handled when they become the active modal widget.
#include "dialogs_test_support.h"
#include "unit_extension.h"
#include "unit_group_setting.h"
#include "unit_settings.h"
#include "wait_for.h"
#include "when_modal.h"

#include "UnitSoftConfig.h"
#include "group_file.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <QXmlStreamReader>

#include <memory>

namespace kestrel::dialogs {
namespace {

using test::WaitFor;
using test::WhenModal;

const QString kKey = QString::fromLatin1(config::kProgramKeyPath);

bool Xdotool(const QStringList& arguments) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    return xdotool.waitForFinished(10000) && xdotool.exitStatus() == QProcess::NormalExit &&
           xdotool.exitCode() == 0;
}

// A left click in the middle of widget, through the X server.
bool Click(QWidget* widget, QPoint at = {-1, -1}) {
    if (at.x() < 0)
        at = widget->rect().center();
    const QPoint global = widget->mapToGlobal(at);
    // One call: "mousemove --sync" would wait for ever when the pointer is already there.
    return Xdotool({"mousemove", QString::number(global.x()), QString::number(global.y()), "click", "1"});
}

bool Type(const QString& text) {
    return Xdotool({"type", "--delay", "20", text});
}

bool Exposed(QWidget* widget) {
    return WaitFor(
        [&] { return widget->isVisible() && widget->windowHandle() && widget->windowHandle()->isExposed(); });
}

// Records the text of the next warning and confirms it.
std::shared_ptr<QString> AnswerWarning() {
    auto text = std::make_shared<QString>();
    WhenModal<QMessageBox>([text](QMessageBox* box) {
        *text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    return text;
}

QStringList Rows(QTreeWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        rows << list->topLevelItem(i)->text(0);
    return rows;
}

void SelectRow(QTreeWidget* list, const QString& caption) {
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(0) == caption)
            list->setCurrentItem(list->topLevelItem(i));
    }
}

// The groups of a group file, read with an XML reader of its own: name and patterns.
std::vector<std::pair<QString, QStringList>> ReadGroupFile(const QString& path) {
    std::vector<std::pair<QString, QStringList>> groups;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return groups;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"Group")
            groups.push_back({xml.attributes().value(QStringLiteral("Name")).toString(), {}});
        else if (xml.name() == u"Content" && !groups.empty())
            groups.back().second << xml.readElementText();
    }
    return groups;
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::Language().SetLanguage(config::kHkeyCurrentUser, kKey, "English"));
        QFile::remove(core::GroupFilePath());
        core::AddDefaultGroups(groups);
    }
    void TearDown() override { test::Language().SetLanguage(config::kHkeyCurrentUser, kKey, "English"); }

    QString Text(const char* id) { return test::Language().GetText(QString::fromLatin1(id)); }

    core::TGroupList groups;
};

TEST_F(SettingsTest, UntickedSwitchesAreSavedAsZeroAndShownUntickedAgain) {
    config::TKestrelfindSoftConfig soft(config::kHkeyCurrentUser, kKey);
    soft.SettingsSwitches = {true, true, true, true};
    soft.SaveSettings();
    ASSERT_TRUE(soft.SettingsSwitches.OnWindowsLogon);

    TfrmSetting setting(test::Language());
    setting.GroupList = &groups;
    setting.SoftConfig = &soft;
    setting.Switches = soft.SettingsSwitches;
    const auto ran = WhenModal<TfrmSetting>([&](TfrmSetting* dialog) {
        ASSERT_TRUE(Exposed(dialog));
        for (QCheckBox* box : {dialog->cbAutomaticRun, dialog->cbKeyEnterSetting, dialog->cbStartHotkey,
                               dialog->cbAutoUpdata}) {
            EXPECT_TRUE(box->isChecked());
            // Each box is as wide as its translated caption needs, and no wider than the page.
            EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(box->text()) + 15);
            EXPECT_TRUE(Click(box, QPoint(6, box->height() / 2)));
            EXPECT_TRUE(WaitFor([box] { return !box->isChecked(); })) << box->objectName().toStdString();
        }
        EXPECT_TRUE(Click(dialog->btnOk));
    });
    EXPECT_EQ(setting.exec(), QDialog::Accepted);
    ASSERT_TRUE(*ran);

    QSettings store(config::SettingsFileFor(config::kHkeyCurrentUser, kKey), QSettings::IniFormat);
    for (const char* name : {"OnWindowsLogon", "SearchEnterKey", "StartHotkey", "AutoUpdata"})
        EXPECT_EQ(store.value(QStringLiteral("SettingOptions/") + QString::fromLatin1(name)).toString(), "0")
            << name;
    EXPECT_FALSE(QFile::exists(config::AutostartEntryFile()));

    config::TKestrelfindSoftConfig reread(config::kHkeyCurrentUser, kKey);
    reread.LoadSettings();
    TfrmSetting again(test::Language());
    again.GroupList = &groups;
    again.Switches = reread.SettingsSwitches;
    again.show();
    ASSERT_TRUE(Exposed(&again));
    for (QCheckBox* box :
         {again.cbAutomaticRun, again.cbKeyEnterSetting, again.cbStartHotkey, again.cbAutoUpdata})
        EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
}

TEST_F(SettingsTest, AnAddedGroupReachesTheListAndTheGroupFile) {
    TfrmSetting setting(test::Language());
    setting.GroupList = &groups;
    const auto ran = WhenModal<TfrmSetting>([&](TfrmSetting* dialog) {
        ASSERT_TRUE(Exposed(dialog));
        dialog->pcSetting->setCurrentWidget(dialog->tsGroupDisplay);
        const auto edited = WhenModal<TfrmGroupSetting>([&](TfrmGroupSetting* editor) {
            ASSERT_TRUE(Exposed(editor));
            EXPECT_TRUE(editor->ShowsPlaceholder());
            EXPECT_TRUE(Click(editor->edtName));
            EXPECT_TRUE(Type(QStringLiteral("Pro.jects~")));
            EXPECT_TRUE(WaitFor([&] { return editor->edtName->text() == "Projects"; }))
                << editor->edtName->text().toStdString();
            EXPECT_TRUE(Click(editor->edtContent));
            EXPECT_TRUE(WaitFor([&] { return editor->edtContent->text().isEmpty(); }));
            for (const char* pattern : {"*.cpp", "*.h"}) {
                // Add took the focus; the entry box gets it back by a click, as a user gives it.
                editor->edtContent->clear();
                EXPECT_TRUE(Click(editor->edtContent));
                EXPECT_TRUE(WaitFor([&] { return editor->edtContent->hasFocus(); }));
                EXPECT_TRUE(Type(QString::fromLatin1(pattern)));
                EXPECT_TRUE(WaitFor([&] { return editor->edtContent->text() == pattern; }));
                EXPECT_TRUE(Click(editor->btnAdd));
                EXPECT_TRUE(WaitFor([&] { return editor->ContentPatterns().contains(pattern); })) << pattern;
            }
            // The same pattern in other letters is not added twice.
            editor->edtContent->setText(QStringLiteral("*.CPP"));
            editor->btnAddClick();
            EXPECT_EQ(editor->ContentPatterns(), (QStringList{"*.cpp", "*.h"}));
            EXPECT_TRUE(Click(editor->btnOK));
        });
        EXPECT_TRUE(Click(dialog->btnAdd));
        EXPECT_TRUE(WaitFor([&] { return *edited && QApplication::activeModalWidget() == dialog; }, 30000));
        EXPECT_EQ(Rows(dialog->lvGroup).last(), "Projects");
        EXPECT_TRUE(Click(dialog->btnOk));
    });
    EXPECT_EQ(setting.exec(), QDialog::Accepted);
    ASSERT_TRUE(*ran);

    ASSERT_EQ(groups.size(), 5u);
    EXPECT_EQ(groups.back()->Name, "Projects");
    EXPECT_EQ(groups.back()->Content, (QStringList{"*.cpp", "*.h"}));
    const auto file = ReadGroupFile(core::GroupFilePath());
    ASSERT_EQ(file.size(), 5u);
    EXPECT_EQ(file.back().first, "Projects");
    EXPECT_EQ(file.back().second, (QStringList{"*.cpp", "*.h"}));
}

TEST_F(SettingsTest, RemovalsTakeEffectOnlyOnOk) {
    groups.push_back(std::make_unique<core::TGroupData>(core::TGroupData{"Code", {"*.c"}}));
    for (const bool confirm : {false, true}) {
        TfrmSetting setting(test::Language());
        setting.GroupList = &groups;
        setting.show();
        ASSERT_TRUE(Exposed(&setting));
        // A built-in group cannot be removed; nothing selected is warned about.
        setting.lvGroup->clearSelection();
        const auto none = AnswerWarning();
        setting.btnRemoveClick();
        EXPECT_EQ(*none, Text("3704016"));
        SelectRow(setting.lvGroup, Text("3702009"));
        const auto builtIn = AnswerWarning();
        setting.btnRemoveClick();
        EXPECT_EQ(*builtIn, Text("3704021"));
        EXPECT_EQ(setting.lvGroup->topLevelItemCount(), 5);

        SelectRow(setting.lvGroup, "Code");
        EXPECT_EQ(setting.SelectedGroup, groups.back().get());
        EXPECT_EQ(Rows(setting.lvGroupContent), QStringList{"*.c"});
        setting.btnRemoveClick();
        EXPECT_EQ(setting.lvGroup->topLevelItemCount(), 4);
        EXPECT_EQ(groups.size(), 5u);
        if (confirm)
            setting.btnOkClick();
        else
            setting.reject();
    }
    EXPECT_EQ(groups.size(), 4u);
    EXPECT_EQ(ReadGroupFile(core::GroupFilePath()).size(), 4u);
}

TEST_F(SettingsTest, AFailedGroupFileWriteIsShownAndTheDialogStillCloses) {
    // The folder of the group file is a regular file: the write must fail.
    const QString blocker = QString::fromStdString(test::TestBase()) + "/not-a-folder";
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    config::TKestrelfindSoftConfig soft(config::kHkeyCurrentUser, kKey);
    soft.SettingsSwitches = {false, true, false, false};
    TfrmSetting setting(test::Language());
    setting.GroupList = &groups;
    setting.SoftConfig = &soft;
    setting.Switches = soft.SettingsSwitches;
    setting.GroupFile = blocker + "/KestrelfindConf.xml";
    groups.push_back(std::make_unique<core::TGroupData>(core::TGroupData{"Code", {"*.c"}}));
    setting.show();
    ASSERT_TRUE(Exposed(&setting));
    SelectRow(setting.lvGroup, "Code");
    setting.btnRemoveClick();
    const auto warning = AnswerWarning();
    setting.btnOkClick();
    EXPECT_FALSE(warning->isEmpty());
    EXPECT_EQ(setting.result(), QDialog::Accepted);
    EXPECT_FALSE(setting.isVisible());
    // The removal stays applied in memory and the switches are saved.
    EXPECT_EQ(groups.size(), 4u);
    QSettings store(config::SettingsFileFor(config::kHkeyCurrentUser, kKey), QSettings::IniFormat);
    EXPECT_EQ(store.value(QStringLiteral("SettingOptions/SearchEnterKey")).toString(), "1");
    EXPECT_EQ(store.value(QStringLiteral("SettingOptions/StartHotkey")).toString(), "0");
}

TEST_F(SettingsTest, ABuiltInGroupKeepsItsNameWhenModified) {
    TfrmSetting setting(test::Language());
    setting.GroupList = &groups;
    setting.show();
    ASSERT_TRUE(Exposed(&setting));
    SelectRow(setting.lvGroup, Text("3702012"));
    const auto ran = WhenModal<TfrmGroupSetting>([&](TfrmGroupSetting* editor) {
        EXPECT_EQ(editor->edtName->text(), Text("3702012"));
        EXPECT_FALSE(editor->edtName->isEnabled());
        editor->edtContent->setText(QStringLiteral("*.opus"));
        editor->btnAddClick();
        editor->btnOKClick();
    });
    setting.btnModifyClick();
    ASSERT_TRUE(*ran);
    EXPECT_EQ(groups[3]->Name, "Music");
    EXPECT_TRUE(groups[3]->Content.contains("*.opus"));
    EXPECT_TRUE(Rows(setting.lvGroupContent).contains("*.opus"));
}

TEST_F(SettingsTest, TheEditorWarnsAndKeepsItsInput) {
    TfrmGroupSetting editor(test::Language());
    editor.GroupList = &groups;
    editor.show();
    ASSERT_TRUE(Exposed(&editor));
    const auto empty = AnswerWarning();
    editor.btnOKClick();
    EXPECT_EQ(*empty, Text("3705012"));
    EXPECT_TRUE(editor.isVisible());

    editor.edtName->setText(QStringLiteral(" documents"));
    const auto noPatterns = AnswerWarning();
    editor.btnOKClick();
    EXPECT_EQ(*noPatterns, Text("3705009"));

    editor.AddContentRow(QStringLiteral("*.txt"), QString());
    const auto taken = AnswerWarning();
    editor.btnOKClick();
    EXPECT_EQ(*taken, test::Language().GetText("3705010", "' documents'"));
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(groups.size(), 4u);
    EXPECT_EQ(editor.edtName->text(), " documents");
    EXPECT_TRUE(editor.btnOK->isEnabled());

    // Invalid entries add nothing.
    for (const char* text : {"doc", ".doc", "*."}) {
        editor.edtContent->setText(QString::fromLatin1(text));
        editor.btnAddClick();
        EXPECT_EQ(editor.ContentPatterns(), QStringList{"*.txt"}) << text;
    }
}

TEST_F(SettingsTest, ThePickerHangsBelowTheEntryBoxAndAddsTheChosenExtensions) {
    TfrmGroupSetting editor(test::Language());
    editor.GroupList = &groups;
    editor.show();
    ASSERT_TRUE(Exposed(&editor));
    ASSERT_TRUE(Click(editor.edtContent));
    ASSERT_TRUE(Type(QStringLiteral("*.t")));
    TfrmExtension* picker = editor.Picker;
    ASSERT_TRUE(WaitFor([&] { return picker->isVisible() && editor.edtContent->text() == "*.t"; }));
    QTreeWidget* list = picker->lvContent;
    ASSERT_GE(list->topLevelItemCount(), 2);
    for (const QString& pattern : Rows(list))
        EXPECT_TRUE(pattern.toLower().startsWith("*.t")) << pattern.toStdString();
    // The entry box keeps the focus while the picker shows.
    EXPECT_TRUE(editor.edtContent->hasFocus());
    EXPECT_EQ(picker->pos(), editor.edtContent->mapToGlobal(QPoint(3, editor.edtContent->height())));

    // It follows the editor.
    editor.move(editor.pos() + QPoint(40, 30));
    EXPECT_TRUE(WaitFor([&] {
        return picker->pos() == editor.edtContent->mapToGlobal(QPoint(3, editor.edtContent->height()));
    }));

    // A double-click adds the first selected row only; Add adds every selected row once.
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(1)->setSelected(true);
    const QRect first = list->visualItemRect(list->topLevelItem(0));
    ASSERT_TRUE(
        Xdotool({"mousemove", "--sync", QString::number(list->viewport()->mapToGlobal(first.center()).x()),
                 QString::number(list->viewport()->mapToGlobal(first.center()).y())}));
    ASSERT_TRUE(Xdotool({"click", "--repeat", "2", "--delay", "50", "1"}));
    ASSERT_TRUE(WaitFor([&] { return editor.lvContent->topLevelItemCount() == 1; }));
    EXPECT_EQ(editor.ContentPatterns(), QStringList{list->topLevelItem(0)->text(0)});
    list->topLevelItem(1)->setSelected(true);
    editor.btnAddClick();
    EXPECT_EQ(editor.ContentPatterns(),
              (QStringList{list->topLevelItem(0)->text(0), list->topLevelItem(1)->text(0)}));
    EXPECT_FALSE(picker->isVisible());

    // Text that is no pattern hides the picker.
    editor.edtContent->setText(QStringLiteral("*.tx"));
    EXPECT_TRUE(picker->isVisible());
    editor.edtContent->setText(QStringLiteral(".t"));
    EXPECT_FALSE(picker->isVisible());
}

TEST_F(SettingsTest, AChosenLanguageSurvivesCancel) {
    TfrmSetting setting(test::Language());
    setting.GroupList = &groups;
    setting.show();
    ASSERT_TRUE(Exposed(&setting));
    const int chinese = setting.cbbLanguage->findText(QStringLiteral("简体中文"));
    ASSERT_GE(chinese, 0);
    EXPECT_EQ(setting.cbbLanguage->currentText(), "English");
    setting.cbbLanguage->setCurrentIndex(chinese);
    setting.cbbLanguageChange();
    EXPECT_TRUE(setting.LanguageChanged);
    const QString okText = setting.btnOk->text();
    setting.reject();
    EXPECT_EQ(test::Language().CurrentCode().left(2), "zh");
    // The dialog itself keeps the texts it showed.
    EXPECT_EQ(setting.btnOk->text(), okText);
    QSettings store(config::SettingsFileFor(config::kHkeyCurrentUser, kKey), QSettings::IniFormat);
    EXPECT_TRUE(store.value(QStringLiteral("Language")).toString().startsWith("zh"));
}

} // namespace
} // namespace kestrel::dialogs
