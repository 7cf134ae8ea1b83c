#include <sys/stat.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "core/settings/profile.h"
#include "gui/kit/tf_base.h"
#include "gui/settings/settingsdialog.h"
#include "support/guifixture.h"
#include "support/tempdir.h"

using namespace orm;

namespace {

const char kFile[] =
    "; Ормелит\r\n[GRIDS]\r\nUSE_HINT=no\r\n\r\n[BACKGROUND]\r\nPICTURE=C:\\fon.bmp\r\n"
    "PERCENT= 50 \r\n[EXTRAMENU1]\r\nNAME=Калькулятор\r\n[APPLICATION]\r\nFONT_NAME=Arial\r\n";

class SettingsDialogTest : public test::MainWindowTest {
protected:
    void SetUp() override
    {
        test::MainWindowTest::SetUp();
        path = dir.write("ormelit.INI", ToCp1251(kFile));
        profile.SetFileName(path);
        context->Settings.SettingsFileName = path;
        context->SharedFont = {"Arial", 10};
    }

    test::TempDir dir;
    std::string path;
    TProfile profile;
};

}  // namespace

TEST_F(SettingsDialogTest, ShowsTheCurrentSettings)
{
    context->Settings.GridSelectUnbind = true;
    context->Settings.ReportRtf = true;
    SettingsDialog dialog(context->Settings, context->SharedFont, prompts, nullptr, &profile);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Установки"));
    EXPECT_EQ(dialog.size(), QSize(473, 287));
    EXPECT_EQ(dialog.EditFontName->text(), QStringLiteral("Arial"));
    EXPECT_EQ(dialog.EditFontSize->text(), QStringLiteral("10"));
    EXPECT_FALSE(dialog.CheckGridUseHint->isChecked());
    EXPECT_TRUE(dialog.CheckGridSelectUnbind->isChecked());
    EXPECT_EQ(dialog.EditFileFormat->currentText(), QStringLiteral("RTF"));
    EXPECT_EQ(dialog.EditFileFormat->count(), 2);
}

TEST_F(SettingsDialogTest, ConfirmingWritesSixKeysAndNothingElse)
{
    SettingsDialog dialog(context->Settings, context->SharedFont, prompts, nullptr, &profile);
    dialog.CheckGridUseHint->setChecked(true);
    dialog.EditFontName->setText(QStringLiteral("Liberation Serif"));
    dialog.EditFontSize->setText(QStringLiteral("12"));
    dialog.EditFileFormat->setCurrentIndex(1);
    dialog.CheckRepUseInform->setChecked(true);
    dialog.OKBtn->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(context->Settings.GridUseHint);
    EXPECT_TRUE(context->Settings.ReportRtf);
    EXPECT_TRUE(context->Settings.ReportUseInformation);
    EXPECT_EQ(context->SharedFont.Face, "Liberation Serif");
    EXPECT_EQ(context->SharedFont.Size, 12);
    EXPECT_EQ(test::TempDir::read(path),
              ToCp1251("; Ормелит\r\n[GRIDS]\r\nUSE_HINT=True\r\nSELECT_UNBIND=False\r\n\r\n"
                       "[BACKGROUND]\r\nPICTURE=C:\\fon.bmp\r\nPERCENT= 50 \r\n[EXTRAMENU1]\r\n"
                       "NAME=Калькулятор\r\n[APPLICATION]\r\nFONT_NAME=Liberation Serif\r\n"
                       "FONT_SIZE=12\r\n[REPORTS]\r\nOUTFILE_FORMAT=RTF\r\nUSE_INFORMATION=True\r\n"));
}

TEST_F(SettingsDialogTest, BadSizesAndEmptyNamesKeepTheFont)
{
    for (const char* size : {"0", "-3", "abc", ""}) {
        SettingsDialog dialog(context->Settings, context->SharedFont, prompts, nullptr, &profile);
        dialog.EditFontName->setText(QString());
        dialog.EditFontSize->setText(QString::fromLatin1(size));
        dialog.OKBtn->click();
        EXPECT_EQ(context->SharedFont.Face, "Arial") << size;
        EXPECT_EQ(context->SharedFont.Size, 10) << size;
    }
}

TEST_F(SettingsDialogTest, FontDialogFillsTheBoxesOnly)
{
    SettingsDialog dialog(context->Settings, context->SharedFont, prompts, nullptr, &profile);
    QFont seen;
    dialog.SetFontChooser([&seen](const QFont& initial, QWidget*) -> std::optional<QFont> {
        seen = initial;
        QFont chosen(QStringLiteral("DejaVu Sans"));
        chosen.setPointSize(14);
        return chosen;
    });
    dialog.EditFontSize->setText(QStringLiteral("11"));
    dialog.B_SelectFont->click();
    EXPECT_EQ(seen.pointSize(), 11);
    EXPECT_EQ(dialog.EditFontName->text(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(dialog.EditFontSize->text(), QStringLiteral("14"));
    EXPECT_EQ(context->SharedFont.Size, 10);  // nothing changes before the dialog is confirmed

    // A size that is not an integer stops before the font dialog.
    bool asked = false;
    dialog.SetFontChooser([&asked](const QFont&, QWidget*) -> std::optional<QFont> {
        asked = true;
        return std::nullopt;
    });
    dialog.EditFontSize->setText(QStringLiteral("1x"));
    dialog.B_SelectFont->click();
    EXPECT_FALSE(asked);
    EXPECT_EQ(prompts.informs(), (std::vector<std::string>{"«1x» не является целым числом"}));
    EXPECT_EQ(dialog.EditFontName->text(), QStringLiteral("DejaVu Sans"));
}

TEST_F(SettingsDialogTest, CancelChangesNothingButWindowsAreRefreshed)
{
    window->OpenClassifier(1);
    context->SharedFont = {"DejaVu Sans", 15};  // as if changed elsewhere; windows still old
    const std::string before = test::TempDir::read(path);
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<SettingsDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->CheckGridUseHint->setChecked(true);
        dialog->CancelBtn->click();
    });
    EXPECT_FALSE(ShowSettingsDialog(*window));
    EXPECT_FALSE(context->Settings.GridUseHint);
    EXPECT_EQ(test::TempDir::read(path), before);
    // The open windows took the application font all the same.
    EXPECT_EQ(window->ChildWindows().at(0)->font().pointSize(), 15);
}

TEST_F(SettingsDialogTest, ASettingsFileThatCannotBeWrittenIsReportedAndTheChangesStay)
{
    const std::string before = test::TempDir::read(path);
    ::chmod(path.c_str(), 0444);  // refused even for root, like a read-only file on Windows
    SettingsDialog dialog(context->Settings, context->SharedFont, prompts, nullptr, &profile);
    dialog.CheckGridUseHint->setChecked(true);
    dialog.EditFontSize->setText(QStringLiteral("14"));
    dialog.OKBtn->click();

    EXPECT_EQ(prompts.informs(),
              (std::vector<std::string>{"Не удалось сохранить установки в файл «" + path + "»."}));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(context->Settings.GridUseHint);
    EXPECT_EQ(context->SharedFont.Size, 14);
    EXPECT_EQ(test::TempDir::read(path), before);
}

TEST_F(SettingsDialogTest, InstalledTheUsersFileGetsOnlyTheChangedKeysAndFailuresNameIt)
{
    const std::string before = test::TempDir::read(path);
    context->Settings.UserSettingsFileName = dir.path("config/ormelit/ormelit.INI");
    {
        SettingsDialog dialog(context->Settings, context->SharedFont, prompts, nullptr, &profile);
        dialog.CheckGridUseHint->setChecked(true);
        dialog.OKBtn->click();
    }
    EXPECT_EQ(test::TempDir::read(context->Settings.UserSettingsFileName),
              "[GRIDS]\r\nUSE_HINT=True\r\n");
    EXPECT_EQ(test::TempDir::read(path), before);
    EXPECT_TRUE(prompts.informs().empty());

    // The message names the file that was tried, not the administrator's.
    const std::string blocked = dir.write("blocked", "") + "/ormelit/ormelit.INI";
    context->Settings.UserSettingsFileName = blocked;
    SettingsDialog dialog(context->Settings, context->SharedFont, prompts, nullptr, &profile);
    dialog.EditFileFormat->setCurrentIndex(1);
    dialog.OKBtn->click();
    const std::string message = "Не удалось сохранить установки в файл «" + blocked + "».";
    EXPECT_EQ(prompts.informs(), std::vector<std::string>{message});
    EXPECT_TRUE(context->Settings.ReportRtf);
    EXPECT_EQ(test::TempDir::read(path), before);
}
