#include "gui/kit/windowsize.h"

#include <QRect>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "core/settings/programstate.h"
#include "gui/kit/appcontext.h"
#include "gui/kit/mainhub.h"

namespace orm {

namespace {

constexpr int kDesignDpi = 96;

double scaleOf(const QWidget* window)
{
    const int dpi = window->logicalDpiY();
    return dpi > 0 ? static_cast<double>(dpi) / kDesignDpi : 1.0;
}

}  // namespace

ProgramState* ProgramStateOf(const QWidget* window)
{
    for (const QWidget* w = window; w; w = w->parentWidget()) {
        if (const auto* hub = dynamic_cast<const MainHub*>(w))
            return &hub->Context().State;
    }
    return nullptr;
}

void RestoreWindowSize(QWidget* window, const WindowSize& kept)
{
    if (!kept.IsKept())
        return;
    const double scale = scaleOf(window);
    QSize size(qRound(kept.Width * scale), qRound(kept.Height * scale));
    size = size.expandedTo(window->minimumSizeHint());
    const QScreen* screen = window->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    if (!area.isValid()) {
        window->resize(size);
        return;
    }
    // A size kept on a larger screen (or at a higher resolution) must not push the window,
    // frame and title bar included, off this one.
    const QSize frame = (window->frameGeometry().size() - window->geometry().size())
                            .expandedTo(QSize(0, 0));
    window->resize(size.boundedTo(area.size() - frame));
    if (window->isVisible()) {
        QRect placed = window->frameGeometry();
        placed.moveLeft(std::clamp(placed.left(), area.left(),
                                   std::max(area.left(), area.right() + 1 - placed.width())));
        placed.moveTop(std::clamp(placed.top(), area.top(),
                                  std::max(area.top(), area.bottom() + 1 - placed.height())));
        window->move(placed.topLeft());
    }
}

void KeepWindowSize(const QWidget* window, ProgramState* state, const char* formName)
{
    if (!state)
        return;
    const double scale = scaleOf(window);
    const WindowSize size{qRound(window->width() / scale), qRound(window->height() / scale)};
    // Silently: a size that could not be written still holds for this run.
    SaveWindowSize(*state, formName, size);
}

}  // namespace orm
