#pragma once

// CentreOnce: secondary windows centred over the main window at their first showing only.

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

class QWidget;

namespace brindle::ui {

// Top-left corner that centres a window of `size` over `over`, raised to the
// desktop's left and top edges when it would lie beyond them.
QPoint centredOver(const QRect &over, const QSize &size, const QRect &desktop);

// Where a secondary window shows: centred over the main window the first time
// in a run, afterwards where it last was, wherever the main window has gone.
class CentreOnce
{
public:
    // Moves the (hidden) window into place before it is shown.
    void place(QWidget *window, const QWidget *mainWindow);
    // Keeps the window's position; call when it hides.
    void remember(const QWidget *window);

private:
    std::optional<QPoint> m_last;
};

} // namespace brindle::ui
