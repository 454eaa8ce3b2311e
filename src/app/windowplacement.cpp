#include "app/windowplacement.h"

#include "base/dialogs.h"
#include "base/error.h"
#include "base/parseint.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPlatformSurfaceEvent>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <array>
#include <limits>

using namespace Qt::StringLiterals;

namespace brindle::app {

namespace {

// A window manager decorates a window only after it has been mapped; until
// then the frame sizes read as zero. Waiting longer than this for them would
// keep a window without any frame (no window manager) at its built-in place.
constexpr int kFrameWaitMs = 1000;

// Stored values far outside any desktop would overflow the rectangle
// arithmetic; the widget size limit is a safe bound for sizes and offsets.
constexpr qint64 kMaxExtent = QWIDGETSIZE_MAX;

QObject *checkedOwner(QObject *owner)
{
    auto *form = qobject_cast<QWidget *>(owner);
    if (!form || !form->isWindow())
        throw Error(u"Window state components must be placed on a form"_s);
    for (QObject *child : owner->children()) {
        if (auto *present = qobject_cast<TOvCCompCustomWdwState *>(child))
            throw Error(
                u"Only one window state component is permitted on a form: %1 is already present on %2"_s.arg(
                    present->objectName(), owner->objectName()));
    }
    return owner;
}

// Wayland neither tells a program where its windows are nor lets it place
// them; the frame is the program's own decoration (or one the compositor
// draws and never reports), the same in every state.
bool isWayland()
{
    return QGuiApplication::platformName().startsWith(u"wayland"_s);
}

// Box in 64 bits: stored values may be anywhere in the 32-bit range.
struct Box
{
    qint64 left, top, width, height;

    qint64 overlap(const QRect &r) const
    {
        const qint64 w = std::min(left + std::max<qint64>(width, 1), qint64(r.x()) + r.width()) -
                         std::max(left, qint64(r.x()));
        const qint64 h = std::min(top + std::max<qint64>(height, 1), qint64(r.y()) + r.height()) -
                         std::max(top, qint64(r.y()));
        return w > 0 && h > 0 ? w * h : 0;
    }
    double gap(const QRect &r) const
    {
        const qint64 dx =
            std::max({qint64(0), qint64(r.x()) - (left + width), left - (qint64(r.x()) + r.width())});
        const qint64 dy =
            std::max({qint64(0), qint64(r.y()) - (top + height), top - (qint64(r.y()) + r.height())});
        return double(dx) * double(dx) + double(dy) * double(dy);
    }
    // Keeps the box inside area where it fits, else at its top-left corner.
    void fitInto(const QRect &area)
    {
        if (left + width > qint64(area.x()) + area.width())
            left = qint64(area.x()) + area.width() - width;
        if (left < area.x())
            left = area.x();
        if (top + height > qint64(area.y()) + area.height())
            top = qint64(area.y()) + area.height() - height;
        if (top < area.y())
            top = area.y();
    }
};

// The screen showing most of the box, or the nearest one; nullptr when the
// box lies off every screen and onlyOverlapping is set.
QScreen *screenFor(const Box &box, bool onlyOverlapping)
{
    QScreen *best = nullptr;
    qint64 bestOverlap = 0;
    for (QScreen *screen : QGuiApplication::screens()) {
        const qint64 o = box.overlap(screen->geometry());
        if (o > bestOverlap) {
            best = screen;
            bestOverlap = o;
        }
    }
    if (best || onlyOverlapping)
        return best;
    double bestGap = std::numeric_limits<double>::infinity();
    for (QScreen *screen : QGuiApplication::screens()) {
        const double g = box.gap(screen->geometry());
        if (g < bestGap) {
            best = screen;
            bestGap = g;
        }
    }
    return best;
}

int stateOf(Qt::WindowStates states)
{
    if (states & Qt::WindowMinimized)
        return 1;
    if (states & Qt::WindowMaximized)
        return 2;
    return 0;
}

constexpr Qt::WindowStates kNotNormal = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

} // namespace

TOvCCompCustomWdwState::TOvCCompCustomWdwState(QObject *owner)
    : QObject(checkedOwner(owner)), m_window(static_cast<QWidget *>(owner))
{
    m_window->installEventFilter(this);
    m_shown = m_window->isVisible();
    watchNativeWindow();
    rememberFrame();
}

void TOvCCompCustomWdwState::watchNativeWindow()
{
    // The native window's end is the one moment of a window's destruction at
    // which both the window and this component (a child, which Qt deletes
    // later) are still whole.
    QWindow *handle = m_window->windowHandle();
    if (handle && handle != m_handle) {
        handle->installEventFilter(this);
        m_handle = handle;
    }
}

TOvCCompCustomWdwState::~TOvCCompCustomWdwState() = default;

QMargins TOvCCompCustomWdwState::frameMargins() const
{
    if (isWayland()) {
        const QWindow *handle = m_window->windowHandle();
        return handle && m_window->isVisible() ? handle->frameMargins() : m_frame;
    }
    // An X11 window manager changes or drops its frame when maximizing.
    if (!m_window->isVisible() || (m_window->windowState() & kNotNormal))
        return m_frame;
    const QRect f = m_window->frameGeometry();
    const QRect g = m_window->geometry();
    return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
}

void TOvCCompCustomWdwState::rememberFrame()
{
    if (!m_window->isVisible() || (!isWayland() && (m_window->windowState() & kNotNormal)))
        return;
    m_frame = frameMargins();
}

StoredPlacement TOvCCompCustomWdwState::currentPlacement() const
{
    QRect normal = m_window->normalGeometry();
    if (!normal.isValid())
        normal = m_window->geometry();
    const QRect outer = normal.marginsAdded(frameMargins());
    StoredPlacement p{outer.x(), outer.y(), outer.width(), outer.height(), stateOf(m_window->windowState())};
    p.positionKnown = !isWayland();
    return p;
}

void TOvCCompCustomWdwState::LoadPlacement(StoredPlacement &) {}

void TOvCCompCustomWdwState::StorePlacement(const StoredPlacement &) {}

void TOvCCompCustomWdwState::LoadPlacementNotify(StoredPlacement &placement)
{
    const StoredPlacement before = placement;
    LoadPlacement(placement);
    if (!OnReadWdwState)
        return;
    OnReadWdwState(this, placement.left, placement.top, placement.width, placement.height, placement.state);
    const auto keep = [](int &value, int current) {
        if (value == kKeepCurrent)
            value = current;
    };
    keep(placement.left, before.left);
    keep(placement.top, before.top);
    keep(placement.width, before.width);
    keep(placement.height, before.height);
    keep(placement.state, before.state);
}

void TOvCCompCustomWdwState::RestorePlacement()
{
    if (!m_window)
        return;
    if (!m_shown) {
        m_restorePending = true;
        return;
    }
    const StoredPlacement current = currentPlacement();
    StoredPlacement p = current;
    LoadPlacementNotify(p);
    if (m_options.testFlag(woIgnoreSize)) {
        p.width = current.width;
        p.height = current.height;
    }
    if (m_options.testFlag(woIgnoreState))
        p.state = 0;
    if (m_options.testFlag(woFitWorkArea)) {
        Box box{p.left, p.top, p.width, p.height};
        if (QScreen *screen = screenFor(box, false)) {
            const QRect area = screen->availableGeometry();
            if (!m_options.testFlag(woIgnoreSize)) {
                box.width = std::min<qint64>(box.width, area.width());
                box.height = std::min<qint64>(box.height, area.height());
            }
            box.fitInto(area);
            p = {int(box.left), int(box.top), int(box.width), int(box.height), p.state};
        }
    }
    applyRect(p);
    // Like a posted message: the state takes effect once the window is shown.
    QMetaObject::invokeMethod(
        this, [this, state = p.state] { applyState(state); }, Qt::QueuedConnection);
}

void TOvCCompCustomWdwState::applyRect(const StoredPlacement &p)
{
    // Qt can only set the normal rectangle of a window that is in the normal
    // state; at the first showing it always is.
    if (m_window->windowState() & kNotNormal)
        return;
    Box box{p.left, p.top, std::clamp<qint64>(p.width, 0, kMaxExtent),
            std::clamp<qint64>(p.height, 0, kMaxExtent)};
    const bool placeable = !isWayland();
    // A window lying off every screen could never be reached; it is brought
    // onto the nearest one, as the window system on the desktop does.
    if (placeable && !screenFor(box, true)) {
        if (QScreen *nearest = screenFor(box, false))
            box.fitInto(nearest->availableGeometry());
    }
    box.left = std::clamp(box.left, -kMaxExtent, kMaxExtent);
    box.top = std::clamp(box.top, -kMaxExtent, kMaxExtent);
    const QMargins m = frameMargins();
    const QRect outer(int(box.left), int(box.top), int(box.width), int(box.height));
    const QSize client(std::max(0, outer.width() - m.left() - m.right()),
                       std::max(0, outer.height() - m.top() - m.bottom()));
    if (placeable)
        m_window->setGeometry(QRect(outer.topLeft() + QPoint(m.left(), m.top()), client));
    else
        m_window->resize(client); // Wayland lets no program place its windows
}

void TOvCCompCustomWdwState::applyState(int state)
{
    if (!m_window)
        return;
    switch (state) {
    case 0:
        m_window->setWindowState(m_window->windowState() & ~kNotNormal);
        break;
    case 1:
        // There is no minimizing of a whole application in Qt; minimizing the
        // main window is what the user sees of it.
        QTimer::singleShot(std::max(0, m_minimizeDelay), this, [this] {
            if (m_window)
                m_window->setWindowState(m_window->windowState() | Qt::WindowMinimized);
        });
        break;
    case 2:
        if (m_window->isMaximized())
            break;
        m_maximizeAsked = liftSizeLimits();
        m_window->setWindowState((m_window->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        if (m_maximizeAsked)
            QTimer::singleShot(kFrameWaitMs, this, &TOvCCompCustomWdwState::checkMaximized);
        break;
    default:
        break;
    }
}

bool TOvCCompCustomWdwState::liftSizeLimits()
{
    if (m_limitsLifted || m_window->minimumSize() != m_window->maximumSize())
        return false;
    // A window of fixed size cannot be maximized, and on X11 one without a
    // maximize button tells the window manager not to offer it.
    m_limitsLifted = true;
    m_fixedMinimum = m_window->minimumSize();
    m_fixedMaximum = m_window->maximumSize();
    m_fixedFlags = m_window->windowFlags();
    m_window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setFlagsInPlace(m_fixedFlags | Qt::WindowMaximizeButtonHint);
    return true;
}

void TOvCCompCustomWdwState::restoreSizeLimitsWhenBack()
{
    if (!m_limitsLifted || m_window->isMaximized() || m_maximizeAsked)
        return;
    // The window system reports the state before the size it gives back. The
    // fixed size set before that would make Qt resize the window where it
    // stood maximized, and move it there.
    if (m_window->width() <= m_fixedMaximum.width() && m_window->height() <= m_fixedMaximum.height()) {
        restoreSizeLimits();
    } else if (!m_restoreWaiting) {
        m_restoreWaiting = true;
        QTimer::singleShot(kFrameWaitMs, this, [this] {
            if (m_restoreWaiting && m_window && !m_window->isMaximized())
                restoreSizeLimits();
        });
    }
}

void TOvCCompCustomWdwState::restoreSizeLimits()
{
    m_restoreWaiting = false;
    if (!m_limitsLifted)
        return;
    m_limitsLifted = false;
    m_window->setMinimumSize(m_fixedMinimum);
    m_window->setMaximumSize(m_fixedMaximum);
    setFlagsInPlace(m_fixedFlags);
}

void TOvCCompCustomWdwState::setFlagsInPlace(Qt::WindowFlags flags)
{
    // setWindowFlags() would hide the window and make it anew.
    m_window->overrideWindowFlags(flags);
    if (QWindow *handle = m_window->windowHandle())
        handle->setFlags(flags);
}

void TOvCCompCustomWdwState::checkMaximized()
{
    if (!m_window || !m_maximizeAsked)
        return;
    // The window never grew: a window manager that refused it, or none at
    // all. Qt would go on taking the window for maximized, and the placement
    // stored at the end would no longer follow it.
    m_maximizeAsked = false;
    if (m_window->isMaximized())
        m_window->setWindowState(m_window->windowState() & ~Qt::WindowMaximized);
    restoreSizeLimits();
}

void TOvCCompCustomWdwState::SavePlacement()
{
    if (m_window)
        StorePlacement(currentPlacement());
}

void TOvCCompCustomWdwState::firstShown()
{
    m_shown = true;
    rememberFrame();
    if (!m_autoSaveRestore && !m_restorePending)
        return;
    m_restorePending = false;
    // On X11 the frame arrives after mapping, and a Wayland decoration once
    // the compositor has configured the window; the stored outer size can
    // only be turned into a client size once it is known.
    const bool frameComesLater = (QGuiApplication::platformName() == u"xcb"_s || isWayland()) &&
                                 !m_window->windowFlags().testFlag(Qt::FramelessWindowHint) &&
                                 frameMargins().isNull();
    if (frameComesLater) {
        m_waitingForFrame = true;
        QTimer::singleShot(kFrameWaitMs, this, &TOvCCompCustomWdwState::frameKnown);
        return;
    }
    guarded(m_window, [this] { RestorePlacement(); });
}

void TOvCCompCustomWdwState::frameKnown()
{
    if (!m_waitingForFrame)
        return;
    m_waitingForFrame = false;
    guarded(m_window, [this] { RestorePlacement(); });
}

bool TOvCCompCustomWdwState::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Show:
            watchNativeWindow();
            if (!m_shown)
                firstShown();
            break;
        case QEvent::Resize:
            // Qt takes a window for maximized once it asks for it; only a
            // size beyond the fixed one shows the window system did it.
            if (m_maximizeAsked &&
                (m_window->width() > m_fixedMaximum.width() || m_window->height() > m_fixedMaximum.height()))
                m_maximizeAsked = false;
            [[fallthrough]];
        case QEvent::WindowStateChange:
            restoreSizeLimitsWhenBack();
            [[fallthrough]];
        case QEvent::Move:
        // The last moment the frame is seen before the window goes.
        case QEvent::Close:
            rememberFrame();
            if (m_waitingForFrame && !frameMargins().isNull())
                frameKnown();
            break;
        default:
            break;
        }
    } else if (watched == m_handle && event->type() == QEvent::PlatformSurface &&
               static_cast<QPlatformSurfaceEvent *>(event)->surfaceEventType() ==
                   QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed) {
        if (m_autoSaveRestore && m_window)
            guarded(nullptr, [this] { SavePlacement(); });
    } else if (watched == m_handle && event->type() == QEvent::Expose && m_window && isWayland()) {
        // A Wayland decoration is made once the compositor has configured
        // the window, which moves and resizes nothing. A compositor that
        // draws the frame itself never tells its size: the first exposure
        // is as much as will be known.
        rememberFrame();
        if (m_waitingForFrame)
            frameKnown();
    }
    return QObject::eventFilter(watched, event);
}

// --- the settings-file store ---

namespace {

constexpr std::array kValueNames{u"Left", u"Top", u"Width", u"Height", u"State"};

std::array<int *, 5> fieldsOf(StoredPlacement &p)
{
    return {&p.left, &p.top, &p.width, &p.height, &p.state};
}

int readInt32(const QVariant &value, const QString &name)
{
    qlonglong n = 0;
    bool ok = false;
    switch (value.typeId()) {
    case QMetaType::QString: {
        const ParsedInt32 parsed = parseInt32(value.toString().trimmed());
        if (parsed.status == ParseStatus::NotANumber)
            throw Error(u"Invalid data type for '%1'"_s.arg(name));
        ok = parsed.status == ParseStatus::Ok;
        n = parsed.value;
        break;
    }
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        n = value.toLongLong(&ok);
        break;
    case QMetaType::ULongLong:
        ok = value.toULongLong() <= qulonglong(std::numeric_limits<qlonglong>::max());
        n = value.toLongLong();
        break;
    default:
        throw Error(u"Invalid data type for '%1'"_s.arg(name));
    }
    if (!ok || n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max())
        throw Error(u"Failed to get data for '%1'"_s.arg(name));
    return int(n);
}

// Whether a line of the settings file runs on over a line break (an open
// quote, a backslash at its end) into a section line: QSettings then takes
// the section line for part of a value and silently loses the section. The
// scan follows QSettings' own reading of quotes, escapes and comments.
bool hidesSectionLine(QByteArrayView data)
{
    const qsizetype size = data.size();
    bool inQuotes = false;
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        bool runsOn = false;
        if (c == '\\' && i + 1 < size) {
            ++i;
            runsOn = data[i] == '\n' || data[i] == '\r';
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ';' && !inQuotes) {
            while (i + 1 < size && data[i + 1] != '\n' && data[i + 1] != '\r')
                ++i;
        } else if (c == '\n' || c == '\r') {
            runsOn = inQuotes;
        }
        if (runsOn) {
            qsizetype next = i + 1;
            while (next < size &&
                   (data[next] == ' ' || data[next] == '\t' || data[next] == '\n' || data[next] == '\r'))
                ++next;
            if (next < size && data[next] == '[')
                return true;
        }
    }
    return false;
}

Error damagedFile(const QString &file)
{
    return Error(u"The settings file \"%1\" is damaged; the window's last place is not restored"_s.arg(
        QDir::toNativeSeparators(file)));
}

} // namespace

TOvCCompRegWdwState::TOvCCompRegWdwState(QObject *owner) : TOvCCompCustomWdwState(owner) {}

QString TOvCCompRegWdwState::SubKey() const
{
    if (!m_subKey.isEmpty())
        return m_subKey;
    return u"\\Software\\%1\\Window\\%2"_s.arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName(),
                                               window() ? window()->objectName() : QString());
}

QString TOvCCompRegWdwState::storeFile(StoreRoot root)
{
    QString folder;
    if (root == StoreRoot::Machine) {
        const QStringList all = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
        folder = all.size() > 1 ? all.at(1) : u"/etc/xdg"_s;
    } else {
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    }
    return folder + u"/Ovalin/Brindle.conf"_s;
}

QString TOvCCompRegWdwState::groupOf(const QString &subKey)
{
    QString path = subKey;
    path.replace(u'\\', u'/');
    return path.split(u'/', Qt::SkipEmptyParts).join(u'/');
}

std::pair<StoreRoot, QString> TOvCCompRegWdwState::location()
{
    StoreRoot root = m_rootKey;
    QString key = SubKey();
    if (OnGetRegData)
        OnGetRegData(root, key);
    return {root, key};
}

void TOvCCompRegWdwState::LoadPlacement(StoredPlacement &placement)
{
    const auto [root, key] = location();
    const QString file = storeFile(root);
    QFile raw(file);
    if (!QFileInfo(file).isFile() || !raw.open(QIODevice::ReadOnly))
        return; // first run: nothing stored yet
    QSettings settings(file, QSettings::IniFormat);
    if (settings.status() == QSettings::AccessError)
        return;
    // A section line without its "]" fails the whole file at once; a stray
    // line only fails its own section, later, and the values around it are
    // still read. The file is written whole at exit either way.
    if (settings.status() == QSettings::FormatError || hidesSectionLine(raw.readAll()))
        throw damagedFile(file);
    settings.beginGroup(groupOf(key));
    const auto fields = fieldsOf(placement);
    for (std::size_t i = 0; i < kValueNames.size(); ++i) {
        const QString name = QString::fromUtf16(kValueNames[i]);
        if (settings.contains(name))
            *fields[i] = readInt32(settings.value(name), name);
    }
}

void TOvCCompRegWdwState::StorePlacement(const StoredPlacement &placement)
{
    const auto [root, key] = location();
    const QFileInfo file(storeFile(root));
    // A folder that cannot be made or written to is a key that cannot be
    // created: nothing is stored and nothing is said.
    if (!QDir().mkpath(file.absolutePath()) || !QFileInfo(file.absolutePath()).isWritable())
        return;
    const QString group = groupOf(key);
    StoredPlacement values = placement;
    const auto fields = fieldsOf(values);
    // Without a known position, Left and Top stay as stored (or absent).
    const std::size_t first = placement.positionKnown ? 0 : 2;
    {
        QSettings settings(file.absoluteFilePath(), QSettings::IniFormat);
        settings.beginGroup(group);
        for (std::size_t i = first; i < kValueNames.size(); ++i)
            settings.setValue(QString::fromUtf16(kValueNames[i]), *fields[i]);
        settings.endGroup();
        settings.sync();
        // The values are written together (atomically), so when writing fails
        // the first of them is the one that could not be written.
        if (settings.status() == QSettings::AccessError)
            throw Error(u"Failed to set data for '%1'"_s.arg(QString::fromUtf16(kValueNames[first])));
    }
    // The status keeps the first fault only, so one left from reading a
    // damaged file would hide a failed write; what the file holds now tells.
    QSettings written(file.absoluteFilePath(), QSettings::IniFormat);
    written.beginGroup(group);
    for (std::size_t i = first; i < kValueNames.size(); ++i) {
        const QString name = QString::fromUtf16(kValueNames[i]);
        if (written.value(name) != QVariant(QString::number(*fields[i])))
            throw Error(u"Failed to set data for '%1'"_s.arg(name));
    }
}

} // namespace brindle::app
