#include "ui/placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace brindle::ui {

QPoint centredOver(const QRect &over, const QSize &size, const QRect &desktop)
{
    // Integer halves as the window system computes them, so that odd sizes
    // land on the same pixel.
    const int x = over.left() + (over.width() - size.width()) / 2;
    const int y = over.top() + (over.height() - size.height()) / 2;
    return {std::max(x, desktop.left()), std::max(y, desktop.top())};
}

void ShowPlacement::place(QWidget *window, const QWidget *mainWindow)
{
    if (m_last) {
        window->move(*m_last);
        return;
    }
    QRect desktop;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        desktop = screen->virtualGeometry();
    const QRect over = mainWindow ? mainWindow->frameGeometry() : desktop;
    // The frame is known (where the window system tells it early) only once
    // the window exists; frameGeometry() of a window never shown is a guess.
    window->winId();
    QSize outer = window->size();
    if (const QWindow *handle = window->windowHandle())
        outer = outer.grownBy(handle->frameMargins());
    const QPoint at = centredOver(over, outer, desktop);
    window->move(at);
    m_last = at;
}

void ShowPlacement::remember(const QWidget *window)
{
    m_last = window->pos();
}

} // namespace brindle::ui
