#pragma once

// A right-aligned, smoothed text link that fades between its normal and its
// hot colour while the pointer is over it, and opens an address when clicked,
// or when Enter is pressed on it.

#include <QColor>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>

namespace brindle::widgets {

class FadingLinkLabel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kFadeInterval = 55; // ms per tick
    static constexpr int kFadeDelay = 600;   // ms for a whole fade
    static constexpr int kFadeStep = kFadeInterval * 255 / kFadeDelay;

    explicit FadingLinkLabel(QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const { return m_text; }
    // An empty address makes a click do nothing.
    void setUrl(const QString &url) { m_url = url; }
    QString url() const { return m_url; }
    void setColors(const QColor &normal, const QColor &hot);

    // Replaces the desktop's "open this address" (tests record it instead).
    void setUrlOpener(std::function<void(const QUrl &)> opener) { m_opener = std::move(opener); }
    // Follows the link, as a click does.
    void activate();

    // 0 shows the normal colour, 255 the hot one.
    int level() const { return m_level; }
    bool isFading() const { return m_fadeTimer.isActive(); }
    QColor currentColor() const;
    // One step of the running fade; the timer calls it every kFadeInterval ms.
    void tick();

    static QColor blend(const QColor &normal, const QColor &hot, int level);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void startFade(int direction);

    QString m_text;
    QString m_url;
    QColor m_normal;
    QColor m_hot;
    int m_level = 0;
    int m_direction = 0; // +1 fading in, -1 fading out
    QTimer m_fadeTimer;
    std::function<void(const QUrl &)> m_opener;
};

} // namespace brindle::widgets
