#include "ui/centreonce.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <functional>

namespace brindle::ui {

namespace {

// How long a first showing waits for the window manager's frame before it
// keeps the place the guessed frame gave.
constexpr int kFrameWaitMs = 1000;

bool isDecorated(const QWidget *window)
{
    const Qt::WindowType type = window->windowType();
    return (type == Qt::Window || type == Qt::Dialog) &&
           !window->windowFlags().testFlag(Qt::FramelessWindowHint);
}

QMargins frameOf(const QWidget *window)
{
    const QWindow *handle = window ? window->windowHandle() : nullptr;
    return handle ? handle->frameMargins() : QMargins();
}

// Centres the window again once its real frame is known, when it was placed
// with a frame that was guessed and proves different.
class FrameCheck final : public QObject
{
public:
    FrameCheck(QWidget *window, const QMargins &guessed, std::function<QPoint(const QSize &)> centre)
        : QObject(window), m_window(window), m_guessed(guessed), m_centre(std::move(centre))
    {
        window->installEventFilter(this);
        QTimer::singleShot(kFrameWaitMs, this, &QObject::deleteLater);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (watched == m_window && (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show)) {
            const QMargins real = frameOf(m_window);
            if (!real.isNull()) {
                if (real != m_guessed)
                    m_window->move(m_centre(m_window->size().grownBy(real)));
                deleteLater();
                m_window->removeEventFilter(this);
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QWidget> m_window;
    QMargins m_guessed;
    std::function<QPoint(const QSize &)> m_centre;
};

} // namespace

QPoint centredOver(const QRect &over, const QSize &size, const QRect &desktop)
{
    // Integer halves as the window system computes them, so that odd sizes
    // land on the same pixel.
    const int x = over.left() + (over.width() - size.width()) / 2;
    const int y = over.top() + (over.height() - size.height()) / 2;
    return {std::max(x, desktop.left()), std::max(y, desktop.top())};
}

void CentreOnce::place(QWidget *window, const QWidget *mainWindow)
{
    if (m_last) {
        window->move(*m_last);
        return;
    }
    QRect desktop;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        desktop = screen->virtualGeometry();
    const QRect over = mainWindow ? mainWindow->frameGeometry() : desktop;
    // Where the window system knows a frame before the first mapping, it
    // does so once the window exists. On X11 the window manager adds it only
    // after mapping; until then the main window's frame is the best guess,
    // as one window manager decorates both alike.
    window->winId();
    QMargins frame = frameOf(window);
    const bool guessed = frame.isNull() && isDecorated(window);
    if (guessed)
        frame = frameOf(mainWindow);
    const auto centre = [over, desktop](const QSize &outer) { return centredOver(over, outer, desktop); };
    const QPoint at = centre(window->size().grownBy(frame));
    // Placed by its client area: before the first mapping Qt cannot tell a
    // frame position from a client one.
    window->setGeometry(QRect(at + QPoint(frame.left(), frame.top()), window->size()));
    if (guessed)
        new FrameCheck(window, frame, centre);
    m_last = at;
}

void CentreOnce::remember(const QWidget *window)
{
    m_last = window->pos();
}

} // namespace brindle::ui
