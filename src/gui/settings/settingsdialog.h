#pragma once

// The settings dialog: the application font, the two grid options and the two report options.
// Confirming stores them in memory and writes them to the settings file (for an installed
// program, those the user changed, to the user's own file); cancelling changes nothing.

#include <QDialog>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QFontDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orm {

class Prompts;
class MainHub;
class TProfile;
struct AppSettings;
struct FontSpec;

// Its objectName stays "TF_SETUP", the form name by which help index files address it.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    // The font dialog: the chosen font, or nothing when cancelled. Replaceable for tests.
    using FontChooser = std::function<std::optional<QFont>(const QFont& initial, QWidget* parent)>;

    SettingsDialog(AppSettings& settings, FontSpec& font, Prompts& prompts,
                   QWidget* parent = nullptr, TProfile* profile = nullptr);

    void SetFontChooser(FontChooser chooser) { m_chooseFont = std::move(chooser); }
    // The dialog's own steps, by their handler names.
    void FormCreate();
    void B_SelectFontClick();
    void OKBtnClick();

    QGroupBox* GroupBoxFont;
    QLabel* Label1;
    QLineEdit* EditFontName;
    QLabel* Label2;
    QLineEdit* EditFontSize;
    QPushButton* B_SelectFont;
    QGroupBox* GroupBoxBind;
    QCheckBox* CheckGridUseHint;
    QCheckBox* CheckGridSelectUnbind;
    QGroupBox* GroupBoxFile;
    QLabel* Label3;
    QComboBox* EditFileFormat;
    QCheckBox* CheckRepUseInform;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    AppSettings& m_settings;
    FontSpec& m_font;
    Prompts& m_prompts;
    TProfile* m_profile;
    FontChooser m_chooseFont;
};

// Readies Qt's own font dialog as the settings dialog shows it: faces that write Cyrillic, a
// Cyrillic sample, and no style or effects to pick (only face and size are kept).
void PrepareFontDialog(QFontDialog& dialog);

// Shows the settings dialog for the main window; afterwards, confirmed or not, every projection
// grid repaints and every child window takes the application font. Returns whether the dialog
// was confirmed.
bool ShowSettingsDialog(MainHub& hub, SettingsDialog::FontChooser chooser = {});

}  // namespace orm
