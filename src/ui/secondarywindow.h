#pragma once

// SecondaryWindow: what every window besides the main one shares. Its first
// showing in a run is placed by its owner (centred over the main window, or
// beside it) or at a place kept from an earlier run; every later showing
// reuses the place the window last had on screen, wherever the main window
// has gone. It also decides what Escape does in the window.

#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>
#include <optional>

class QWidget;

namespace brindle::ui {

// Top-left corner that centres a window of `size` over `over`, raised to the
// desktop's left and top edges when it would lie beyond them.
QPoint centredOver(const QRect &over, const QSize &size, const QRect &desktop);

// The window's rectangle with its frame as the window system has it now, or
// with `guess` for a frame not known yet.
QRect outerGeometry(const QWidget *window, const QMargins &guess = {});

// A place kept between runs: the outer rectangle (frame included) in
// desktop coordinates.
struct PlaceStore
{
    std::function<std::optional<QRect>()> load;
    std::function<void(const QRect &outer)> save;
};

class SecondaryWindow final : public QObject
{
    Q_OBJECT

public:
    enum class Escape
    {
        Default, // the window's own handling (a dialog's closes it)
        Ignored, // Escape does nothing
        Closes,  // Escape closes the window
    };
    // Where a first showing puts the outer top-left corner of a window of
    // the given outer size.
    using FirstPlace = std::function<QPoint(const QSize &outer)>;

    // Attaches to `window`, whose child it becomes.
    explicit SecondaryWindow(QWidget *window, Escape escape = Escape::Default);

    // Moves the hidden window into place before it shows: where it last was
    // on show, else at the kept place, else where `first` puts it (centred
    // over `mainWindow` when not given).
    void place(const QWidget *mainWindow, const FirstPlace &first = {});

    // The kept place is read at the first showing of a run and written when
    // the window hides and when the program ends while it is on show.
    void setStore(PlaceStore store);
    void save();

    // The outer rectangle the window had when last on show.
    std::optional<QRect> lastFrame() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void record();
    std::optional<QRect> storedPlace();

    QPointer<QWidget> m_window;
    // The client rectangle when last on show, and its frame: on X11 the
    // window manager takes the frame away as the window hides, so neither
    // can be read back afterwards.
    std::optional<QRect> m_client;
    QMargins m_frame;
    PlaceStore m_store;
    bool m_storeRead = false;
};

} // namespace brindle::ui
