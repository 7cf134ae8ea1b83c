#pragma once

// The about box: the about picture with the program's version on it and one button.

#include <QDialog>
#include <QSize>

class QLabel;
class QPushButton;

namespace orm {

struct AppSettings;
class Prompts;
class TImage;

// Its objectName stays "TF_About", the form name by which help index files address it.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    // Loads the about picture (or the built-in one) and lays the box out around it.
    AboutBox(const AppSettings& settings, Prompts& prompts, QWidget* parent = nullptr);

    TImage* Image2;
    QLabel* ProductName;
    QPushButton* OKButton;  // the default and the cancel button: Enter and Esc both close

    // The size the picture area keeps when no picture could be loaded.
    static constexpr QSize kDesignedImageSize{372, 365};

public slots:
    void reject() override;
};

// "Версия: " and the program's version.
QString VersionText();

// Shows the about box modally, centred on the screen.
void ShowAbout(const AppSettings& settings, Prompts& prompts, QWidget* parent = nullptr);

}  // namespace orm
