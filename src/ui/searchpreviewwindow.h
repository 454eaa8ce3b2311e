#pragma once

// The "Search Preview" window: the page as a search result would list it,
// made from the main window's inputs and following them while open.

#include "ui/toolwindow.h"

class QLabel;

namespace brindle::ui {

class SearchPreviewWindow : public ToolWindow
{
    Q_OBJECT

public:
    static constexpr int kResultWidth = 600; // a result column's width

    SearchPreviewWindow(ui::TagInputs *inputs, QWidget *mainWindow);

    // What the three lines show now.
    QString titleText() const;
    QString addressText() const;
    QString descriptionText() const;

protected:
    void refresh() override;

private:
    QLabel *m_title = nullptr;
    QLabel *m_address = nullptr;
    QLabel *m_description = nullptr;
};

} // namespace brindle::ui
