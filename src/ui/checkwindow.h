#pragma once

// The "Check" window: the page checker's findings for the tag lines the
// main window's inputs make now, following them while open.

#include "ui/toolwindow.h"

class QTreeWidget;

namespace brindle::ui {

class CheckWindow : public ToolWindow
{
    Q_OBJECT

public:
    CheckWindow(ui::TagInputs *inputs, QWidget *mainWindow);

    QTreeWidget *list() const { return m_list; }

protected:
    void refresh() override;

private:
    QTreeWidget *m_list = nullptr;
};

} // namespace brindle::ui
