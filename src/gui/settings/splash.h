#pragma once

// The title splash: a borderless picture window that stays on top while the program starts
// behind it, until a key is pressed, the mouse is clicked on it, a modal dialog opens or its
// time is up.

#include <QString>
#include <QWidget>

class QTimer;

namespace orm {

struct AppSettings;
class Prompts;
class TImage;

class TViewForm : public QWidget {
    Q_OBJECT
public:
    explicit TViewForm(QWidget* parent = nullptr);

    TImage* Image1;
    QTimer* Timer1;  // closes the window; stopped at first

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The splash with the title picture (or the built-in one) when settings.TitleTime is not 0.
// Returns the window, which frees itself when it closes, or nullptr when nothing is shown.
TViewForm* ShowTitle(const AppSettings& settings, Prompts& prompts);

// Shows a splash with the picture at path (or the built-in resourceName) at percent, scaled
// further with the screen's font resolution, centred on the screen, without waiting. With
// seconds > 0 it closes after min(seconds, 60) seconds. Returns the window, which frees itself
// when it closes, or nullptr when the picture could not be loaded or has no size.
TViewForm* ShowPictureWindow(const QString& path, const QString& typeName, int seconds,
                             int percent, const QString& resourceName, Prompts& prompts);

}  // namespace orm
