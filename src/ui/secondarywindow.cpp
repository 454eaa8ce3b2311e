#include "ui/secondarywindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeySequence>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

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

// Places the window again once its real frame is known, when it was placed
// with a frame that was guessed and proves different. Only the showing it
// was made for: it ends when the window hides.
class FrameCheck final : public QObject
{
public:
    FrameCheck(QWidget *window, const QMargins &guessed, SecondaryWindow::FirstPlace where)
        : QObject(window), m_window(window), m_guessed(guessed), m_where(std::move(where))
    {
        window->installEventFilter(this);
        QTimer::singleShot(kFrameWaitMs, this, &QObject::deleteLater);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (watched != m_window || m_done)
            return QObject::eventFilter(watched, event);
        if (type == QEvent::Hide) {
            finish();
        } else if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show) {
            const QMargins real = frameOf(m_window);
            if (!real.isNull()) {
                // By the client area again: the widget's copy of the frame,
                // which move() would go by, may still be the empty one.
                if (real != m_guessed) {
                    const QPoint at = m_where(m_window->size().grownBy(real));
                    m_window->setGeometry(QRect(at + QPoint(real.left(), real.top()), m_window->size()));
                }
                finish();
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void finish()
    {
        m_done = true;
        if (m_window)
            m_window->removeEventFilter(this);
        deleteLater();
    }

    QPointer<QWidget> m_window;
    QMargins m_guessed;
    SecondaryWindow::FirstPlace m_where;
    bool m_done = false;
};

// A kept place is used as it is while any screen shows part of it, as the
// main window's is; one on no screen (a screen that has gone since) is none.
bool onSomeScreen(const QRect &outer)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(), [&outer](const QScreen *screen) {
        return screen->availableGeometry().intersects(outer);
    });
}

} // namespace

QRect outerGeometry(const QWidget *window, const QMargins &guess)
{
    const QMargins frame = frameOf(window);
    return window->geometry().marginsAdded(frame.isNull() ? guess : frame);
}

QPoint centredOver(const QRect &over, const QSize &size, const QRect &desktop)
{
    // Integer halves as the window system computes them, so that odd sizes
    // land on the same pixel.
    const int x = over.left() + (over.width() - size.width()) / 2;
    const int y = over.top() + (over.height() - size.height()) / 2;
    return {std::max(x, desktop.left()), std::max(y, desktop.top())};
}

SecondaryWindow::SecondaryWindow(QWidget *window, Escape escape) : QObject(window), m_window(window)
{
    window->installEventFilter(this);
    if (escape != Escape::Default) {
        // A shortcut, so that Escape is seen whichever control has the focus
        // and whatever that control does with keys it leaves alone.
        auto *shortcut = new QShortcut(QKeySequence(Qt::Key_Escape), window);
        if (escape == Escape::Closes)
            connect(shortcut, &QShortcut::activated, window, &QWidget::close);
    }
}

void SecondaryWindow::setStore(PlaceStore store)
{
    m_store = std::move(store);
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (m_window && m_window->isVisible())
            save();
    });
}

std::optional<QRect> SecondaryWindow::storedPlace()
{
    if (m_storeRead || !m_store.load)
        return std::nullopt;
    m_storeRead = true;
    const std::optional<QRect> kept = m_store.load();
    if (kept && kept->isValid() && onSomeScreen(*kept))
        return kept;
    return std::nullopt;
}

void SecondaryWindow::place(const QWidget *mainWindow, const FirstPlace &first)
{
    QWidget *window = m_window;
    if (!window)
        return;
    if (m_client) {
        // By the client area, which keeps its meaning when the frame has
        // gone: a frame position read after the window hid is the client's.
        const QRect target(m_client->topLeft(), window->size());
        // Qt passes on no geometry it believes the window has already; but
        // the window manager may have left the hidden window elsewhere.
        if (window->geometry() == target)
            window->setGeometry(target.translated(1, 0));
        window->setGeometry(target);
        return;
    }
    QRect desktop;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        desktop = screen->virtualGeometry();
    // Where the window system knows a frame before the first mapping, it
    // does so once the window exists. On X11 the window manager adds it only
    // after mapping; until then the main window's frame is the best guess,
    // as one window manager decorates both alike.
    window->winId();
    QMargins frame = frameOf(window);
    const bool guessed = frame.isNull() && isDecorated(window);
    if (guessed)
        frame = frameOf(mainWindow);

    FirstPlace where = first;
    if (const std::optional<QRect> kept = storedPlace()) {
        if (window->minimumSize() != window->maximumSize())
            window->resize(kept->size().shrunkBy(frame).expandedTo(window->minimumSize()));
        where = [at = kept->topLeft()](const QSize &) { return at; };
    } else if (!where) {
        const QRect over = mainWindow ? outerGeometry(mainWindow) : desktop;
        where = [over, desktop](const QSize &outer) { return centredOver(over, outer, desktop); };
    }
    const QPoint at = where(window->size().grownBy(frame));
    // Placed by its client area: before the first mapping Qt cannot tell a
    // frame position from a client one.
    window->setGeometry(QRect(at + QPoint(frame.left(), frame.top()), window->size()));
    if (guessed)
        new FrameCheck(window, frame, where);
}

void SecondaryWindow::record()
{
    const QWidget *window = m_window;
    if (!window || !window->isVisible() ||
        (window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    // The window system's own view: the widget's copy of the frame is
    // brought up to date only by the next move. A place counts once the
    // window manager has framed the window there; one closed before that
    // was placed with a guessed frame, and its first place is made again.
    const QMargins frame = frameOf(window);
    if (frame.isNull() && isDecorated(window))
        return;
    m_client = window->geometry();
    m_frame = frame;
}

std::optional<QRect> SecondaryWindow::lastFrame() const
{
    if (!m_client)
        return std::nullopt;
    return m_client->marginsAdded(m_frame);
}

void SecondaryWindow::save()
{
    if (m_store.save && m_client)
        m_store.save(*lastFrame());
}

bool SecondaryWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
            record();
            break;
        case QEvent::Hide:
            // Not when the window is minimized, or hidden with the whole program.
            if (!event->spontaneous())
                save();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace brindle::ui
