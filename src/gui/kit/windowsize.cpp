#include "gui/kit/windowsize.h"

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
    // A size kept on a larger screen must not push the window off this one.
    if (const QScreen* screen = window->screen()) {
        const QSize room = screen->availableGeometry().size();
        if (room.isValid())
            size = size.boundedTo(room);
    }
    window->resize(size.expandedTo(window->minimumSizeHint()));
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
