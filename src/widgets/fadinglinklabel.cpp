#include "widgets/fadinglinklabel.h"

#include "widgets/accessibleinterfaces.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>

namespace brindle::widgets {

FadingLinkLabel::FadingLinkLabel(QWidget *parent)
    : QWidget(parent), m_normal(0x17, 0x45, 0xAE), m_hot(0xC4, 0x3C, 0x1A),
      m_opener([](const QUrl &url) { QDesktopServices::openUrl(url); })
{
    installAccessibleInterfaces();
    setCursor(Qt::PointingHandCursor);
    // A link is reached with Tab like any other, but a click leaves the focus where it was.
    setFocusPolicy(Qt::TabFocus);
    m_fadeTimer.setInterval(kFadeInterval);
    connect(&m_fadeTimer, &QTimer::timeout, this, &FadingLinkLabel::tick);
}

void FadingLinkLabel::setText(const QString &text)
{
    m_text = text;
    update();
}

void FadingLinkLabel::setColors(const QColor &normal, const QColor &hot)
{
    m_normal = normal;
    m_hot = hot;
    update();
}

QColor FadingLinkLabel::blend(const QColor &normal, const QColor &hot, int level)
{
    // Integer arithmetic on purpose: the fade must end exactly where it
    // started, whatever the path.
    const auto channel = [level](int n, int h) { return n + (h - n) * level / 256; };
    return QColor(channel(normal.red(), hot.red()), channel(normal.green(), hot.green()),
                  channel(normal.blue(), hot.blue()));
}

QColor FadingLinkLabel::currentColor() const
{
    return blend(m_normal, m_hot, m_level);
}

void FadingLinkLabel::startFade(int direction)
{
    // A fade under way turns round where it stands.
    m_direction = direction;
    if (!m_fadeTimer.isActive())
        m_fadeTimer.start();
}

void FadingLinkLabel::tick()
{
    if (m_direction == 0)
        return;
    m_level += m_direction * kFadeStep;
    if (m_level >= 255 || m_level <= 0) {
        m_level = std::clamp(m_level, 0, 255);
        m_direction = 0;
        m_fadeTimer.stop();
    }
    update();
}

void FadingLinkLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont f = font();
    f.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::PreferQuality));
    painter.setFont(f);
    painter.setPen(currentColor());
    QRect textRect;
    painter.drawText(rect(), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, m_text, &textRect);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = textRect.intersected(rect());
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void FadingLinkLabel::enterEvent(QEnterEvent *event)
{
    startFade(+1);
    QWidget::enterEvent(event);
}

void FadingLinkLabel::leaveEvent(QEvent *event)
{
    startFade(-1);
    QWidget::leaveEvent(event);
}

void FadingLinkLabel::hideEvent(QHideEvent *event)
{
    // A window closed with the pointer over the link gets no leave event;
    // its next showing starts in the normal colour all the same.
    m_fadeTimer.stop();
    m_direction = 0;
    m_level = 0;
    QWidget::hideEvent(event);
}

void FadingLinkLabel::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void FadingLinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    // The whole box is the link, not only the right-aligned text in it.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        activate();
}

void FadingLinkLabel::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Taken here, so that a dialog's default button does not answer Enter as well.
        if (!event->isAutoRepeat())
            activate();
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void FadingLinkLabel::focusInEvent(QFocusEvent *event)
{
    update();
    QWidget::focusInEvent(event);
}

void FadingLinkLabel::focusOutEvent(QFocusEvent *event)
{
    update();
    QWidget::focusOutEvent(event);
}

void FadingLinkLabel::activate()
{
    if (!m_url.isEmpty() && m_opener)
        m_opener(QUrl(m_url));
}

} // namespace brindle::widgets
