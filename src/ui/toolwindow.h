#pragma once

// A small window that stays open beside the main window and follows its
// inputs: the search preview and the check list. Opened from the tags
// viewer, it outlives the viewer, so it belongs to the main window.

#include <QPoint>
#include <QWidget>

#include <optional>

namespace brindle::ui {
class TagInputs;
}

namespace brindle::ui {

class ToolWindow : public QWidget
{
    Q_OBJECT

public:
    ToolWindow(ui::TagInputs *inputs, QWidget *mainWindow);

    // Shows the window, up to date; the first time in a run beside the main
    // window (right of it when the screen has room, else left, else over it),
    // afterwards where it was.
    void showBesideMain();

protected:
    ui::TagInputs *inputs() const { return m_inputs; }
    // Reads the inputs again; called while the window is visible only.
    virtual void refresh() = 0;

    void hideEvent(QHideEvent *event) override;

private:
    ui::TagInputs *m_inputs;
    std::optional<QPoint> m_last;
};

// Where a window of `size` (frame included) goes the first time: right of
// `main`, or left of it, or centred over it, always on `desktop`.
QPoint besidePosition(const QRect &main, const QSize &size, const QRect &desktop);

} // namespace brindle::ui
