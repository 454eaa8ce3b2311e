#include "widgets/statusbar.h"

#include "widgets/systemcolors.h"

#include <QPainter>

namespace brindle::widgets {

namespace {
constexpr int kTextIndent = 3;
} // namespace

StatusBar::StatusBar(QWidget *parent) : GradientPanel(parent)
{
    setBorderSides(Qt::TopEdge);
}

int StatusBar::addPane(int width)
{
    m_panes.append(Pane{width, {}, std::nullopt, {}});
    update();
    return int(m_panes.size()) - 1;
}

StatusBar::Pane *StatusBar::pane(int index)
{
    return index >= 0 && index < m_panes.size() ? &m_panes[index] : nullptr;
}

const StatusBar::Pane *StatusBar::pane(int index) const
{
    return index >= 0 && index < m_panes.size() ? &m_panes[index] : nullptr;
}

QRect StatusBar::paneRect(int index) const
{
    int x = 0;
    for (int i = 0; i < m_panes.size(); ++i) {
        const int w = m_panes[i].width < 0 ? std::max(0, width() - x) : m_panes[i].width;
        if (i == index)
            return QRect(x, 0, w, height());
        x += w;
    }
    return {};
}

void StatusBar::setPaneText(int index, const QString &text)
{
    if (Pane *p = pane(index); p && p->text != text) {
        p->text = text;
        update(paneRect(index));
    }
}

QString StatusBar::paneText(int index) const
{
    const Pane *p = pane(index);
    return p ? p->text : QString();
}

void StatusBar::setPaneFont(int index, const QFont &font)
{
    if (Pane *p = pane(index)) {
        p->font = font;
        update(paneRect(index));
    }
}

void StatusBar::setPaneColor(int index, const QColor &color)
{
    if (Pane *p = pane(index)) {
        p->color = color;
        update(paneRect(index));
    }
}

QSize StatusBar::sizeHint() const
{
    return {200, fontMetrics().height() + 6};
}

void StatusBar::paintEvent(QPaintEvent *event)
{
    GradientPanel::paintEvent(event);

    QPainter painter(this);
    const int top = borderSides() & Qt::TopEdge ? 1 : 0;
    const int bottom = borderSides() & Qt::BottomEdge ? 1 : 0;
    for (int i = 0; i < m_panes.size(); ++i) {
        const Pane &p = m_panes[i];
        const QRect r = paneRect(i);
        if (r.width() <= 0)
            continue;
        // A separator after every pane that has a neighbour to its right.
        if (i + 1 < m_panes.size() && r.right() < width() - 1)
            painter.fillRect(r.right(), top + 2, 1, height() - top - bottom - 4, borderColor());
        if (p.text.isEmpty())
            continue;
        const QFont font = p.font.value_or(this->font());
        painter.setFont(font);
        painter.setPen(p.color.isValid() ? p.color : clBtnText(palette()));
        const QRect textRect = r.adjusted(kTextIndent, top, -kTextIndent - 1, -bottom);
        const QString shown = QFontMetrics(font).elidedText(p.text, Qt::ElideRight, textRect.width());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
}

} // namespace brindle::widgets
