#include "gui/settings/splash.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "core/settings/appsettings.h"
#include "format/textcodec.h"
#include "gui/settings/imagecontrol.h"

namespace orm {

namespace {

constexpr int kMaxSeconds = 60;

QScreen* splashScreen()
{
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    return screen ? screen : QGuiApplication::primaryScreen();
}

}  // namespace

TViewForm::TViewForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TViewForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    // The splash must not keep the program running after the main window closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFocusPolicy(Qt::StrongFocus);
    Image1 = new TImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &QWidget::close);
    qApp->installEventFilter(this);
}

void TViewForm::keyPressEvent(QKeyEvent*)
{
    close();
}

// A click dismisses the splash as a key does. Grabbing it as a caption (a window move) would
// hold the pointer and keep it up over the main window the user wants to reach.
void TViewForm::mousePressEvent(QMouseEvent*)
{
    close();
}

bool TViewForm::eventFilter(QObject* watched, QEvent* event)
{
    // A question asked while the splash is up must not open behind a window that stays on top:
    // the splash gives way to it.
    if (event->type() == QEvent::Show && watched != this && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow() && widget->isModal())
            QTimer::singleShot(0, this, &QWidget::close);
    }
    return false;
}

TViewForm* ShowTitle(const AppSettings& settings, Prompts& prompts)
{
    if (settings.TitleTime == 0)
        return nullptr;
    return ShowPictureWindow(FromCp1251(settings.TitlePicture), QString(), settings.TitleTime,
                             settings.TitlePercent, QStringLiteral("BMP_TITLE"), prompts);
}

TViewForm* ShowPictureWindow(const QString& path, const QString& typeName, int seconds,
                             int percent, const QString& resourceName, Prompts& prompts)
{
    auto* form = new TViewForm;
    PictureImage image;
    if (!LoadPictureInto(image, path, typeName, resourceName, percent, prompts)) {
        delete form;
        return nullptr;
    }
    // The splash grows with the screen's font resolution, as designed at 96 dpi.
    QScreen* screen = splashScreen();
    const double factor = screen ? screen->logicalDotsPerInchY() / 96.0 : 1.0;
    if (factor > 0 && factor != 1.0) {
        image.Size = QSize(int(std::lround(image.Size.width() * factor)),
                           int(std::lround(image.Size.height() * factor)));
    }
    // A picture scaled to nothing would leave an invisible window waiting for a key.
    if (image.Size.isEmpty()) {
        delete form;
        return nullptr;
    }
    form->Image1->SetImage(image);
    form->setFixedSize(image.Size);
    if (screen) {
        const QRect area = screen->availableGeometry();
        form->move(area.center() - QPoint(image.Size.width() / 2, image.Size.height() / 2));
    }
    if (seconds > 0) {
        form->Timer1->setInterval(std::min(seconds, kMaxSeconds) * 1000);
        form->Timer1->start();
    }
    form->show();
    form->activateWindow();
    return form;
}

}  // namespace orm
