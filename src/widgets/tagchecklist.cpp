#include "widgets/tagchecklist.h"

#include "base/error.h"
#include "widgets/systemcolors.h"
#include "widgets/tagchecklistaccessible.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace brindle::widgets {

namespace {

using widgets::SystemColor;

// The list's colours follow its own palette, in its current (active or
// inactive) group, through the program's one mapping of the system colours.
QColor colorOf(const QWidget &widget, SystemColor color)
{
    return widget.palette().color(widgets::roleOf(color));
}

[[noreturn]] void throwOutOfBounds(int index)
{
    throw Error(u"List index out of bounds (%1)"_s.arg(index));
}

bool isGroupText(const QString &text)
{
    return text.startsWith(QStringView(TOvCheckListStrings::kGroupPrefix), Qt::CaseSensitive);
}

// A typed key adds to the search text when every character in it is
// printable and above the space, which toggles instead.
bool isSearchText(const QString &text)
{
    if (text.isEmpty())
        return false;
    const auto codes = text.toUcs4();
    return std::all_of(codes.begin(), codes.end(), [](char32_t c) { return c >= 33 && QChar::isPrint(c); });
}

// The flat tick: seven columns, each three pixels tall, at these offsets
// from the top of a 7x7 cell.
constexpr int kTickTops[7] = {2, 3, 4, 3, 2, 1, 0};

} // namespace

// ---------------------------------------------------------------------------
// TOvCheckListStrings

void TOvCheckListStrings::checkIndex(int index) const
{
    if (index < 0 || index >= Count())
        throwOutOfBounds(index);
}

QString TOvCheckListStrings::strings(int index) const
{
    checkIndex(index);
    return m_texts.at(index);
}

void TOvCheckListStrings::setStrings(int index, const QString &text)
{
    checkIndex(index);
    m_texts[index] = text;
    m_owner->rowTextChanged(index);
}

const TPacket &TOvCheckListStrings::packet(int index) const
{
    checkIndex(index);
    return m_packets.at(index);
}

TPacket &TOvCheckListStrings::packetRef(int index)
{
    checkIndex(index);
    return m_packets[index];
}

int TOvCheckListStrings::add(const QString &text)
{
    insert(Count(), text);
    return Count() - 1;
}

void TOvCheckListStrings::insert(int index, const QString &text)
{
    if (index < 0 || index > Count())
        throwOutOfBounds(index);
    m_texts.insert(index, text);
    m_packets.insert(index, TPacket{});
    m_owner->rowsInserted(index);
}

void TOvCheckListStrings::remove(int index)
{
    checkIndex(index);
    m_texts.removeAt(index);
    m_packets.removeAt(index);
    m_owner->rowRemoved(index);
}

void TOvCheckListStrings::move(int currentIndex, int newIndex)
{
    checkIndex(currentIndex);
    checkIndex(newIndex);
    if (currentIndex == newIndex)
        return;
    m_texts.move(currentIndex, newIndex);
    m_packets.move(currentIndex, newIndex);
    m_owner->rowMoved(currentIndex, newIndex);
}

void TOvCheckListStrings::exchange(int index1, int index2)
{
    checkIndex(index1);
    checkIndex(index2);
    if (index1 == index2)
        return;
    m_texts.swapItemsAt(index1, index2);
    m_packets.swapItemsAt(index1, index2);
    m_owner->rowsExchanged(index1, index2);
}

void TOvCheckListStrings::clear()
{
    m_texts.clear();
    m_packets.clear();
    m_owner->rowsReset();
}

void TOvCheckListStrings::assign(const QStringList &texts)
{
    m_texts = texts;
    m_packets = QList<TPacket>(texts.size());
    m_owner->rowsReset();
}

// ---------------------------------------------------------------------------
// TOvCheckList: rows and states

TOvCheckList::TOvCheckList(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    m_clock.start();
    updateFrameMargins();
    updateScrollRange();
    CheckListAccessible::install();
}

TOvCheckList::~TOvCheckList() = default;

void TOvCheckList::setRows(const QStringList &texts)
{
    m_items.assign(texts);
}

void TOvCheckList::checkRow(int row) const
{
    if (row < 0 || row >= Count())
        throwOutOfBounds(row);
}

bool TOvCheckList::IsRowChecked(int row) const
{
    return RowState(row) == TCheckBoxState::cbChecked;
}

void TOvCheckList::SetRowChecked(int row, bool checked)
{
    SetRowState(row, checked ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked);
}

TCheckBoxState TOvCheckList::RowState(int row) const
{
    return m_items.packet(row).State;
}

void TOvCheckList::SetRowState(int row, TCheckBoxState state)
{
    TPacket &packet = m_items.packetRef(row);
    if (packet.State == state)
        return;
    packet.State = state;
    viewport()->update(boxArea(row));
    accessibleRowStateChanged(this, row);
    emit rowStateChanged(row);
}

bool TOvCheckList::IsRowEnabled(int row) const
{
    return m_items.packet(row).Enabled;
}

void TOvCheckList::SetRowEnabled(int row, bool enabled)
{
    TPacket &packet = m_items.packetRef(row);
    if (packet.Enabled == enabled)
        return;
    packet.Enabled = enabled;
    viewport()->update();
}

bool TOvCheckList::IsGroupRow(int row) const
{
    return row >= 0 && row < Count() && isGroupText(m_items.m_texts.at(row));
}

void TOvCheckList::CheckAllRows()
{
    for (int row = 0; row < Count(); ++row)
        SetRowChecked(row, true);
}

void TOvCheckList::UncheckAllRows()
{
    for (int row = 0; row < Count(); ++row)
        SetRowChecked(row, false);
}

int TOvCheckList::CountCheckedRows() const
{
    int count = 0;
    for (int row = 0; row < Count(); ++row)
        count += IsRowChecked(row) && !IsGroupRow(row) ? 1 : 0;
    return count;
}

int TOvCheckList::FindRowByText(const QString &text) const
{
    for (int row = 0; row < Count(); ++row) {
        if (m_items.m_texts.at(row).compare(text, Qt::CaseInsensitive) == 0)
            return row;
    }
    return -1;
}

void TOvCheckList::setItemIndex(int row)
{
    if (row != -1)
        checkRow(row);
    setCurrent(row, false);
    ensureVisible(row);
}

void TOvCheckList::ToggleCurrentRow()
{
    const int row = m_itemIndex;
    if (row < 0 || row >= Count() || IsGroupRow(row) || !IsRowEnabled(row))
        return;
    TCheckBoxState next = TCheckBoxState::cbChecked;
    switch (RowState(row)) {
    case TCheckBoxState::cbUnchecked:
        next = m_allowGrayed ? TCheckBoxState::cbGrayed : TCheckBoxState::cbChecked;
        break;
    case TCheckBoxState::cbChecked:
        next = TCheckBoxState::cbUnchecked;
        break;
    case TCheckBoxState::cbGrayed:
        next = TCheckBoxState::cbChecked;
        break;
    }
    bool allow = true;
    emit OnChanging(row, next, &allow);
    // A handler may have removed rows; only a row that still exists is stored.
    if (!allow || row >= Count())
        return;
    SetRowState(row, next);
    emit OnChange(row, next);
}

// ---------------------------------------------------------------------------
// Collection notifications: the current row and an armed press follow their row.

void TOvCheckList::rowsInserted(int index)
{
    if (m_itemIndex >= index)
        ++m_itemIndex;
    if (m_mouseArmedRow >= index)
        ++m_mouseArmedRow;
    updateScrollRange();
    updateGeometry();
    viewport()->update();
    accessibleRowsChanged(this);
}

void TOvCheckList::rowRemoved(int index)
{
    auto follow = [index](int &row) {
        if (row == index)
            row = -1;
        else if (row > index)
            --row;
    };
    follow(m_itemIndex);
    follow(m_mouseArmedRow);
    updateScrollRange();
    updateGeometry();
    viewport()->update();
    accessibleRowsChanged(this);
}

void TOvCheckList::rowMoved(int from, int to)
{
    auto follow = [from, to](int &row) {
        if (row == from)
            row = to;
        else if (from < row && row <= to)
            --row;
        else if (to <= row && row < from)
            ++row;
    };
    follow(m_itemIndex);
    follow(m_mouseArmedRow);
    viewport()->update();
    accessibleRowsChanged(this);
}

void TOvCheckList::rowsExchanged(int index1, int index2)
{
    auto follow = [index1, index2](int &row) {
        if (row == index1)
            row = index2;
        else if (row == index2)
            row = index1;
    };
    follow(m_itemIndex);
    follow(m_mouseArmedRow);
    viewport()->update();
    accessibleRowsChanged(this);
}

void TOvCheckList::rowsReset()
{
    m_itemIndex = -1;
    m_mouseArmedRow = -1;
    forgetSearch();
    updateScrollRange();
    verticalScrollBar()->setValue(0);
    updateGeometry();
    viewport()->update();
    accessibleRowsChanged(this);
}

void TOvCheckList::rowTextChanged(int index)
{
    viewport()->update(rowRect(index));
}

// ---------------------------------------------------------------------------
// Properties

void TOvCheckList::setItemHeight(int value)
{
    value = std::max(1, value);
    if (value == m_itemHeight)
        return;
    m_itemHeight = value;
    updateScrollRange();
    updateGeometry();
    viewport()->update();
}

void TOvCheckList::setIncrementalSearch(bool value)
{
    m_incrementalSearch = value;
    forgetSearch();
}

void TOvCheckList::setFrameVisible(bool value)
{
    m_frameVisible = value;
    updateFrameMargins();
}

void TOvCheckList::setUseGradients(bool value)
{
    m_useGradients = value;
    viewport()->update();
}

QFont TOvCheckList::GroupFont() const
{
    if (m_groupFont)
        return *m_groupFont;
    QFont bold = font();
    bold.setBold(true);
    return bold;
}

void TOvCheckList::setGroupFont(const QFont &font)
{
    m_groupFont = font;
    viewport()->update();
}

QColor TOvCheckList::resolved(const QColor &set, widgets::SystemColor color) const
{
    return set.isValid() ? set : colorOf(*this, color);
}

QColor TOvCheckList::GroupColor() const
{
    return resolved(m_groupColor, SystemColor::Window);
}
void TOvCheckList::setGroupColor(const QColor &color)
{
    m_groupColor = color;
    viewport()->update();
}
QColor TOvCheckList::ItemFrameColor() const
{
    return resolved(m_itemFrameColor, SystemColor::BtnShadow);
}
void TOvCheckList::setItemFrameColor(const QColor &color)
{
    m_itemFrameColor = color;
    viewport()->update();
}
QColor TOvCheckList::ItemFillColor() const
{
    return resolved(m_itemFillColor, SystemColor::Window);
}
void TOvCheckList::setItemFillColor(const QColor &color)
{
    m_itemFillColor = color;
    viewport()->update();
}
QColor TOvCheckList::ItemFocusColor() const
{
    return resolved(m_itemFocusColor, SystemColor::Window);
}
void TOvCheckList::setItemFocusColor(const QColor &color)
{
    m_itemFocusColor = color;
    viewport()->update();
}
QColor TOvCheckList::HighlightColor() const
{
    return resolved(m_highlightColor, SystemColor::Highlight);
}
void TOvCheckList::setHighlightColor(const QColor &color)
{
    m_highlightColor = color;
    viewport()->update();
}
QColor TOvCheckList::DisabledColor() const
{
    return resolved(m_disabledColor, SystemColor::BtnFace);
}
void TOvCheckList::setDisabledColor(const QColor &color)
{
    m_disabledColor = color;
    viewport()->update();
}

void TOvCheckList::setThemed(bool themed)
{
    m_themed = themed;
    updateFrameMargins();
}

void TOvCheckList::updateFrameMargins()
{
    // The frame is ours to paint (see event()); QFrame only reserves its width
    // so that the viewport and the scroll bar sit inside it.
    const bool framed = !m_themed && m_frameVisible;
    setFrameStyle(framed ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
    setLineWidth(framed ? 1 : 0);
    updateScrollRange();
    update();
    viewport()->update();
}

QSize TOvCheckList::sizeHint() const
{
    const QFontMetrics fm(font());
    const QFontMetrics groupFm(GroupFont());
    int width = 0;
    for (int row = 0; row < Count(); ++row) {
        const QString &text = m_items.m_texts.at(row);
        width = std::max(width, IsGroupRow(row) ? 2 + groupFm.horizontalAdvance(text.mid(2))
                                                : kTextIndent + 2 + fm.horizontalAdvance(text));
    }
    const int frame = 2 * frameWidth();
    const int rows = std::clamp(Count(), 1, 20);
    return {std::max(width + 6, kTextIndent + 60) + frame, rows * m_itemHeight + frame};
}

QSize TOvCheckList::minimumSizeHint() const
{
    const int frame = 2 * frameWidth();
    return {kTextIndent + 20 + frame, m_itemHeight + frame};
}

// ---------------------------------------------------------------------------
// Geometry

int TOvCheckList::topIndex() const
{
    return verticalScrollBar()->value();
}

int TOvCheckList::visibleRows() const
{
    return std::max(1, viewport()->height() / m_itemHeight);
}

void TOvCheckList::updateScrollRange()
{
    QScrollBar *bar = verticalScrollBar();
    const int visible = visibleRows();
    bar->setRange(0, std::max(0, Count() - visible));
    bar->setPageStep(visible);
    bar->setSingleStep(1);
}

void TOvCheckList::ensureVisible(int row)
{
    if (row < 0)
        return;
    const int top = topIndex();
    if (row < top)
        verticalScrollBar()->setValue(row);
    else if (row >= top + visibleRows())
        verticalScrollBar()->setValue(row - visibleRows() + 1);
}

QRect TOvCheckList::visual(const QRect &logical) const
{
    return QStyle::visualRect(layoutDirection(), viewport()->rect(), logical);
}

Qt::Alignment TOvCheckList::textAlignment() const
{
    return Qt::AlignAbsolute | Qt::AlignTop | (isRightToLeft() ? Qt::AlignRight : Qt::AlignLeft);
}

QRect TOvCheckList::rowRect(int row) const
{
    return {0, (row - topIndex()) * m_itemHeight, viewport()->width(), m_itemHeight};
}

QRect TOvCheckList::boxRect(int row) const
{
    const QRect r = rowRect(row);
    return visual({r.left() + 4, r.top() + (m_itemHeight - kBoxSize) / 2, kBoxSize, kBoxSize});
}

QRect TOvCheckList::boxArea(int row) const
{
    const QRect r = rowRect(row);
    const int inset = (m_itemHeight - kBoxSize) / 2;
    return visual({r.left(), r.top() + inset, kBoxColumn, m_itemHeight - 2 * inset});
}

int TOvCheckList::rowAt(const QPoint &pos) const
{
    if (pos.y() < 0 || pos.y() >= viewport()->height())
        return -1;
    const int row = topIndex() + pos.y() / m_itemHeight;
    return row < Count() ? row : -1;
}

bool TOvCheckList::inBoxColumn(const QPoint &pos) const
{
    const int x = isRightToLeft() ? viewport()->width() - 1 - pos.x() : pos.x();
    return x >= 0 && x < kBoxColumn;
}

// ---------------------------------------------------------------------------
// Painting

QColor TOvCheckList::listBackground() const
{
    return isEnabled() ? colorOf(*this, SystemColor::Window) : DisabledColor();
}

bool TOvCheckList::event(QEvent *event)
{
    // The scroll area's own paint event only draws the frame; ours is the
    // flat one-pixel line in the button shadow colour.
    if (event->type() == QEvent::Paint) {
        if (frameWidth() > 0) {
            QPainter p(this);
            p.setPen(colorOf(*this, SystemColor::BtnShadow));
            p.setBrush(Qt::NoBrush);
            p.drawRect(rect().adjusted(0, 0, -1, -1));
        }
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void TOvCheckList::paintEvent(QPaintEvent *event)
{
    QPainter p(viewport());
    p.fillRect(event->rect(), listBackground());
    const int first = std::max(0, topIndex() + event->rect().top() / m_itemHeight);
    const int last = std::min(Count() - 1, topIndex() + event->rect().bottom() / m_itemHeight);
    for (int row = first; row <= last; ++row) {
        p.save();
        paintRow(p, row, rowRect(row));
        p.restore();
    }
}

void TOvCheckList::paintRow(QPainter &p, int row, const QRect &r) const
{
    const QString &text = m_items.m_texts.at(row);
    const bool selected = row == m_itemIndex;
    const bool focused = selected && hasFocus();
    const int h = m_itemHeight;

    if (IsGroupRow(row)) {
        if (selected) {
            p.fillRect(r, colorOf(*this, SystemColor::Highlight));
        } else if (m_useGradients) {
            const QRect start = visual({r.left(), r.top(), 1, r.height()});
            const QRect end = visual({r.right(), r.top(), 1, r.height()});
            QLinearGradient gradient(start.topLeft(), end.topLeft());
            gradient.setColorAt(0, GroupColor());
            gradient.setColorAt(1, listBackground());
            p.fillRect(r, gradient);
        } else {
            p.fillRect(r, GroupColor());
        }
        const QFont groupFont = GroupFont();
        const QFontMetrics fm(groupFont);
        p.setFont(groupFont);
        p.setPen(colorOf(*this, selected ? SystemColor::HighlightText : SystemColor::WindowText));
        p.setClipRect(r);
        const QRect textRect(r.left() + 2, r.top() + (h - fm.height()) / 2, r.width() - 2, fm.height());
        p.drawText(visual(textRect), int(textAlignment()), text.mid(2));
        if (focused)
            paintFocusRect(p, r, colorOf(*this, SystemColor::HighlightText));
        return;
    }

    const TPacket &packet = m_items.m_packets.at(row);
    const QRect t = visual(r.adjusted(kTextIndent, 0, 0, 0));
    if (selected)
        p.fillRect(t, colorOf(*this, SystemColor::Highlight));
    paintBox(p, boxRect(row), packet);

    QColor color = colorOf(*this, SystemColor::WindowText);
    if (selected) {
        color = colorOf(*this, SystemColor::HighlightText);
    } else if (!packet.Enabled || !isEnabled()) {
        const QColor shadow = colorOf(*this, SystemColor::BtnShadow);
        color = listBackground() == shadow ? colorOf(*this, SystemColor::BtnFace) : shadow;
    }
    const QFontMetrics fm(font());
    p.setFont(font());
    p.setPen(color);
    p.setClipRect(t);
    const QRect logicalT = r.adjusted(kTextIndent, 0, 0, 0);
    const QRect textRect(logicalT.left() + 2, r.top() + (h - fm.height()) / 2, logicalT.width() - 2,
                         fm.height());
    p.drawText(visual(textRect), int(textAlignment()), text);
    p.setClipping(false);
    if (focused)
        paintFocusRect(p, t, color);
}

void TOvCheckList::paintBox(QPainter &p, const QRect &box, const TPacket &packet) const
{
    const bool enabled = packet.Enabled && isEnabled();
    if (m_themed) {
        QStyleOptionButton opt;
        opt.initFrom(this);
        opt.rect = box;
        opt.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver | QStyle::State_Sunken);
        opt.state.setFlag(QStyle::State_Enabled, enabled);
        if (!enabled)
            opt.palette.setCurrentColorGroup(QPalette::Disabled);
        opt.state |= packet.State == TCheckBoxState::cbChecked  ? QStyle::State_On
                     : packet.State == TCheckBoxState::cbGrayed ? QStyle::State_NoChange
                                                                : QStyle::State_Off;
        style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &opt, &p, this);
        // The theme's box as it is, where it stands out from the list; on a
        // palette the theme was not made for (a dark one) its outline may
        // not, and gets one that does.
        const QColor around = listBackground();
        const QString look =
            u"checkbox/%1/%2/%3"_s.arg(quintptr(style())).arg(opt.palette.cacheKey()).arg(int(opt.state));
        const auto drawAlone = [&](QPainter &q) {
            QStyleOptionButton alone = opt;
            alone.rect = QRect(QPoint(), box.size());
            style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &alone, &q, this);
        };
        if (enabled && !drawnOutlineReads(look, box.size(), around, drawAlone))
            drawReadableOutline(p, box, around, colorOf(*this, SystemColor::WindowText));
        return;
    }

    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor fill = !packet.Enabled ? DisabledColor() : hasFocus() ? ItemFocusColor() : ItemFillColor();
    p.fillRect(box, fill);
    p.setPen(ItemFrameColor());
    p.setBrush(Qt::NoBrush);
    p.drawRect(box.adjusted(0, 0, -1, -1));
    const QColor mark = packet.Enabled ? HighlightColor() : colorOf(*this, SystemColor::BtnShadow);
    if (packet.State == TCheckBoxState::cbChecked) {
        for (int i = 0; i < 7; ++i)
            p.fillRect(box.left() + 3 + i, box.top() + 3 + kTickTops[i], 1, 3, mark);
    } else if (packet.State == TCheckBoxState::cbGrayed) {
        p.fillRect(box.adjusted(2, 2, -2, -2), mark);
    }
}

void TOvCheckList::paintFocusRect(QPainter &p, const QRect &r, const QColor &color) const
{
    // Every other pixel round the outline, like the classic dotted focus
    // frame; a dash pattern would depend on the paint engine.
    QPolygon outline;
    for (int x = r.left(); x <= r.right(); ++x)
        outline << QPoint(x, r.top());
    for (int y = r.top() + 1; y <= r.bottom(); ++y)
        outline << QPoint(r.right(), y);
    for (int x = r.right() - 1; x >= r.left(); --x)
        outline << QPoint(x, r.bottom());
    for (int y = r.bottom() - 1; y > r.top(); --y)
        outline << QPoint(r.left(), y);
    QPolygon dots;
    for (qsizetype i = 0; i < outline.size(); i += 2)
        dots << outline.at(i);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(color);
    p.drawPoints(dots);
}

// ---------------------------------------------------------------------------
// Events

void TOvCheckList::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void TOvCheckList::scrollContentsBy(int, int)
{
    viewport()->update();
}

void TOvCheckList::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        // Enabling or disabling the list carries over to every row.
        for (TPacket &packet : m_items.m_packets)
            packet.Enabled = isEnabled();
        viewport()->update();
        break;
    case QEvent::FontChange:
        updateGeometry();
        viewport()->update();
        break;
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::LayoutDirectionChange:
        update();
        viewport()->update();
        break;
    default:
        break;
    }
}

void TOvCheckList::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
    accessibleListFocused(this);
}

void TOvCheckList::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_spaceArmed = false;
    viewport()->update();
}

void TOvCheckList::setCurrent(int row, bool notify)
{
    if (row == m_itemIndex)
        return;
    const int old = m_itemIndex;
    m_itemIndex = row;
    if (old >= 0)
        viewport()->update(rowRect(old));
    if (row >= 0)
        viewport()->update(rowRect(row));
    accessibleCurrentRowChanged(this, old, row);
    if (notify)
        emit currentRowChanged(row);
}

void TOvCheckList::userSetCurrent(int row)
{
    setCurrent(row, true);
    ensureVisible(row);
}

void TOvCheckList::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const int row = rowAt(pos);
    if (event->button() == Qt::LeftButton) {
        forgetSearch();
        m_mouseArmedRow = -1;
        if (row < 0)
            return;
        userSetCurrent(row);
        if (m_toggleOnItemClick || inBoxColumn(pos))
            m_mouseArmedRow = row;
    } else if (event->button() == Qt::RightButton) {
        // Before the context menu opens, so that it acts on the row pointed at.
        if (row >= 0 && row != m_itemIndex)
            userSetCurrent(row);
    }
}

void TOvCheckList::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A double click is a second click: its press arms again.
    mousePressEvent(event);
}

void TOvCheckList::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || Count() == 0)
        return;
    // The highlight follows a drag, scrolling a row at a time past the edges.
    const int y = int(event->position().y());
    int row;
    if (y < 0)
        row = std::max(0, topIndex() - 1);
    else if (y >= viewport()->height())
        row = std::min(Count() - 1, topIndex() + visibleRows());
    else
        row = std::min(Count() - 1, topIndex() + y / m_itemHeight);
    userSetCurrent(row);
}

void TOvCheckList::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int armed = std::exchange(m_mouseArmedRow, -1);
    if (armed >= 0 && armed == m_itemIndex && viewport()->rect().contains(event->position().toPoint()))
        ToggleCurrentRow();
}

bool TOvCheckList::navigate(int key)
{
    const int count = Count();
    const int current = m_itemIndex;
    const int page = std::max(1, visibleRows() - 1);
    int target;
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Left:
        target = current - 1;
        break;
    case Qt::Key_Down:
    case Qt::Key_Right:
        target = current < 0 ? 0 : current + 1;
        break;
    case Qt::Key_PageUp:
        target = current - page;
        break;
    case Qt::Key_PageDown:
        target = current < 0 ? 0 : current + page;
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = count - 1;
        break;
    default:
        return false;
    }
    forgetSearch();
    if (count > 0)
        userSetCurrent(std::clamp(target, 0, count - 1));
    return true;
}

void TOvCheckList::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (key == Qt::Key_Space) {
        if (!event->isAutoRepeat())
            m_spaceArmed = true;
        return;
    }
    if (navigate(key))
        return;
    if (m_incrementalSearch) {
        if (key == Qt::Key_Escape) {
            forgetSearch();
            setCurrent(-1, true);
            return;
        }
        if (key == Qt::Key_Backspace) {
            searchBackspace();
            return;
        }
        const bool commandKey =
            event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        if (!commandKey && isSearchText(event->text())) {
            searchTyped(event->text());
            return;
        }
    }
    // Enter, Tab and everything else belong to the parent.
    event->ignore();
}

void TOvCheckList::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Space) {
        event->ignore();
        return;
    }
    if (!event->isAutoRepeat() && std::exchange(m_spaceArmed, false))
        ToggleCurrentRow();
}

// ---------------------------------------------------------------------------
// Incremental search

void TOvCheckList::beep()
{
    QApplication::beep();
}

qint64 TOvCheckList::msecsNow() const
{
    return m_clock.elapsed();
}

void TOvCheckList::forgetSearch()
{
    m_searchText.clear();
}

void TOvCheckList::searchTyped(const QString &text)
{
    const qint64 now = msecsNow();
    if (now - m_lastSearchKey >= kSearchTimeoutMs)
        m_searchText.clear();
    m_lastSearchKey = now;
    m_searchText += text;
    searchFor(m_searchText);
}

void TOvCheckList::searchBackspace()
{
    const qint64 now = msecsNow();
    if (now - m_lastSearchKey >= kSearchTimeoutMs)
        m_searchText.clear();
    m_lastSearchKey = now;
    if (!m_searchText.isEmpty())
        m_searchText.chop(m_searchText.back().isLowSurrogate() && m_searchText.size() > 1 ? 2 : 1);
    if (m_searchText.isEmpty()) {
        if (Count() > 0)
            userSetCurrent(0);
        return;
    }
    searchFor(m_searchText);
}

void TOvCheckList::searchFor(const QString &text)
{
    for (int row = 0; row < Count(); ++row) {
        if (m_items.m_texts.at(row).startsWith(text, Qt::CaseInsensitive)) {
            userSetCurrent(row);
            return;
        }
    }
    if (m_beepOnInvalidKey)
        beep();
}

} // namespace brindle::widgets
