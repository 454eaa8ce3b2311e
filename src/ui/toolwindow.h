#pragma once

// A window that stays open beside the main window and follows its inputs:
// the search preview and the check list. An ordinary window of its own, not
// one kept above the main window; it goes when the main window goes.

#include "ui/secondarywindow.h"

#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>

namespace brindle::ui {

class TagInputs;

class ToolWindow : public QWidget
{
    Q_OBJECT

public:
    ToolWindow(TagInputs *inputs, QWidget *mainWindow);
    ~ToolWindow() override;

    // Shows the window, up to date and in front (of the tags viewer too):
    // the first time in a run beside the main window, or where the kept
    // place says; afterwards where it was.
    void showBesideMain();

    // Where the window was left in earlier runs.
    void setStore(PlaceStore store) { m_place->setStore(std::move(store)); }

protected:
    TagInputs *inputs() const { return m_inputs; }
    // Reads the inputs again; called while the window is visible only.
    virtual void refresh() = 0;

private:
    TagInputs *m_inputs;
    QPointer<QWidget> m_main;
    SecondaryWindow *m_place;
};

// Where a window of `size` (frame included) goes the first time: right of
// `main`, else left of it, else below it, within `area` (the main window's
// screen) and apart from the main window and the `others` already there.
// Where the screen has no such room, it goes where it covers the least of
// them, still within `area`.
QPoint besidePosition(const QRect &main, const QSize &size, const QRect &area, const QList<QRect> &others);

} // namespace brindle::ui
