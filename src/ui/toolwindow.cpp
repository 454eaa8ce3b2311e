#include "ui/toolwindow.h"

#include "ui/taginputs.h"
#include "widgets/accessibleinterfaces.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <utility>

namespace brindle::ui {

namespace {

// The windows of this kind that exist, so that each keeps clear of the others.
QList<ToolWindow *> &allToolWindows()
{
    static QList<ToolWindow *> windows;
    return windows;
}

qint64 overlap(const QRect &a, const QRect &b)
{
    const QRect common = a.intersected(b);
    return qint64(common.width()) * common.height();
}

} // namespace

ToolWindow::ToolWindow(TagInputs *inputs, QWidget *mainWindow)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_inputs(inputs), m_main(mainWindow),
      m_place(new SecondaryWindow(this, SecondaryWindow::Escape::Closes))
{
    // Without a parent the window is not kept above the main window; it
    // must neither keep the program running once the main window closes.
    setAttribute(Qt::WA_QuitOnClose, false);
    widgets::installAccessibleInterfaces();
    allToolWindows().append(this);
    if (mainWindow)
        connect(mainWindow, &QObject::destroyed, this, [this] { delete this; });
    // Only a visible window does the work of following the inputs.
    connect(m_inputs, &TagInputs::changed, this, [this] {
        if (isVisible())
            refresh();
    });
}

ToolWindow::~ToolWindow()
{
    allToolWindows().removeOne(this);
}

void ToolWindow::showBesideMain()
{
    refresh();
    if (!isVisible()) {
        m_place->place(m_main, [this](const QSize &outer) {
            const QWidget *main = m_main;
            const QScreen *screen = main ? main->screen() : QGuiApplication::primaryScreen();
            const QRect area = screen ? screen->availableGeometry() : QRect(QPoint(), outer);
            // A window shown a moment ago may not have its frame yet: it
            // gets the one this window is placed with.
            const QMargins frame(0, 0, outer.width() - width(), outer.height() - height());
            QList<QRect> others;
            for (const ToolWindow *window : std::as_const(allToolWindows())) {
                if (window != this && window->isVisible())
                    others << outerGeometry(window, frame);
            }
            return besidePosition(main ? outerGeometry(main) : QRect(area.topLeft(), QSize()), outer, area,
                                  others);
        });
    }
    show();
    raise();
    activateWindow();
}

QPoint besidePosition(const QRect &main, const QSize &size, const QRect &area, const QList<QRect> &others)
{
    const auto within = [](int value, int low, int high) { return std::max(low, std::min(value, high)); };
    const int lastX = area.right() + 1 - size.width();
    const int lastY = area.bottom() + 1 - size.height();
    // Beside the main window level with its top, else below another window
    // there; below it level with its left edge, else right of or below
    // another window there.
    QList<int> tops, lefts;
    for (const QRect &other : others) {
        tops << other.bottom() + 1;
        lefts << other.right() + 1;
    }
    std::sort(tops.begin(), tops.end());
    std::sort(lefts.begin(), lefts.end());
    QList<int> belows = tops;
    tops.prepend(main.top());
    lefts.prepend(main.left());
    belows.prepend(main.bottom() + 1);
    QList<QPoint> candidates;
    for (const int x : {main.right() + 1, main.left() - size.width()}) {
        for (const int y : std::as_const(tops))
            candidates << QPoint(x, within(y, area.top(), lastY));
    }
    for (const int y : std::as_const(belows)) {
        if (y <= main.bottom())
            continue;
        for (const int x : std::as_const(lefts))
            candidates << QPoint(within(x, area.left(), lastX), y);
    }

    const auto covered = [&](const QRect &r) {
        qint64 onOthers = 0;
        for (const QRect &other : others)
            onOthers += overlap(r, other);
        return std::pair{overlap(r, main), onOthers};
    };
    for (const QPoint &at : std::as_const(candidates)) {
        const QRect r(at, size);
        if (area.contains(r) && covered(r) == std::pair<qint64, qint64>{0, 0})
            return at;
    }
    QPoint best;
    std::pair<qint64, qint64> least{-1, -1};
    for (const QPoint &candidate : std::as_const(candidates)) {
        const QPoint at(within(candidate.x(), area.left(), lastX), within(candidate.y(), area.top(), lastY));
        const auto cover = covered(QRect(at, size));
        if (least.first < 0 || cover < least) {
            least = cover;
            best = at;
        }
    }
    return best;
}

} // namespace brindle::ui
