#pragma once

// StatusBar, the main window's status bar of text panes.

#include "widgets/gradientpanel.h"

#include <QFont>
#include <QList>
#include <optional>

namespace brindle::widgets {

// A status bar of text panes laid out from the left, painted with the tool bar's
// gradient and a line along its top edge.
class StatusBar : public GradientPanel
{
    Q_OBJECT

public:
    explicit StatusBar(QWidget *parent = nullptr);

    // Appends a pane of the given width in pixels; -1 makes it fill the rest of the bar.
    // Returns the pane's number, counted from 0.
    int addPane(int width);
    int paneCount() const { return int(m_panes.size()); }
    QRect paneRect(int index) const;

    void setPaneText(int index, const QString &text);
    QString paneText(int index) const;
    // Without these a pane uses the bar's font and clBtnText.
    void setPaneFont(int index, const QFont &font);
    void setPaneColor(int index, const QColor &color);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Pane
    {
        int width = -1;
        QString text;
        std::optional<QFont> font;
        QColor color;
    };

    Pane *pane(int index);
    const Pane *pane(int index) const;

    QList<Pane> m_panes;
};

} // namespace brindle::widgets
