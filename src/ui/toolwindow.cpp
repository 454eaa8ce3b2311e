#include "ui/toolwindow.h"

#include "ui/centreonce.h"
#include "ui/taginputs.h"

#include <QGuiApplication>
#include <QHideEvent>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace brindle::ui {

ToolWindow::ToolWindow(ui::TagInputs *inputs, QWidget *mainWindow)
    : QWidget(mainWindow,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_inputs(inputs)
{
    // Only a visible window does the work of following the inputs.
    connect(m_inputs, &ui::TagInputs::changed, this, [this] {
        if (isVisible())
            refresh();
    });
}

void ToolWindow::showBesideMain()
{
    refresh();
    if (m_last) {
        move(*m_last);
    } else {
        QRect desktop;
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            desktop = screen->availableGeometry();
        winId();
        QSize outer = size();
        if (const QWindow *handle = windowHandle())
            outer = outer.grownBy(handle->frameMargins());
        const QWidget *main = parentWidget();
        move(besidePosition(main ? main->frameGeometry() : desktop, outer, desktop));
    }
    show();
    raise();
}

void ToolWindow::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous())
        m_last = pos();
    QWidget::hideEvent(event);
}

QPoint besidePosition(const QRect &main, const QSize &size, const QRect &desktop)
{
    const int y =
        std::clamp(main.top(), desktop.top(), std::max(desktop.top(), desktop.bottom() + 1 - size.height()));
    if (main.right() + 1 + size.width() <= desktop.right() + 1)
        return {main.right() + 1, y};
    if (main.left() - size.width() >= desktop.left())
        return {main.left() - size.width(), y};
    return ui::centredOver(main, size, desktop);
}

} // namespace brindle::ui
