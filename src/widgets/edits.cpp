#include "widgets/edits.h"

#include "widgets/systemcolors.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QCoreApplication>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>
#include <QStyledItemDelegate>

using namespace Qt::StringLiterals;

namespace brindle::widgets {

Edit::Edit(int maxLength, QWidget *parent) : QLineEdit(parent)
{
    setMaxLength(maxLength);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

namespace {

// What decides how a style draws a control: the style, the palette and the state.
QString lookOf(const QString &kind, const QStyleOption &option, const QStyle *style)
{
    return u"%1/%2/%3/%4"_s.arg(kind)
        .arg(quintptr(style))
        .arg(option.palette.cacheKey())
        .arg(int(option.state));
}

// Adds a readable outline where the style's own frame, drawn by `draw`, does
// not stand out from the window colour the inputs sit on.
void outlineIfFaint(QWidget *input, const QString &look, const std::function<void(QPainter &)> &draw)
{
    if (!input->isEnabled())
        return;
    const QColor around = clWindow(input->palette());
    if (drawnOutlineReads(look, input->size(), around, draw))
        return;
    QPainter p(input);
    drawReadableOutline(p, input->rect(), around, clWindowText(input->palette()));
}

} // namespace

void Edit::paintEvent(QPaintEvent *event)
{
    QLineEdit::paintEvent(event);
    if (!hasFrame())
        return;
    QStyleOptionFrame option;
    initStyleOption(&option);
    outlineIfFaint(this, lookOf(u"edit"_s, option, style()),
                   [&](QPainter &p) { style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &p, this); });
}

void ComboBox::paintEvent(QPaintEvent *event)
{
    QComboBox::paintEvent(event);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    outlineIfFaint(this, lookOf(u"combo"_s, option, style()),
                   [&](QPainter &p) { style()->drawComplexControl(QStyle::CC_ComboBox, &option, &p, this); });
}

namespace {

class ItemDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(ComboBox::kItemHeight, option.fontMetrics.height()));
        return size;
    }
};

} // namespace

ComboBox::ComboBox(QWidget *parent, QLineEdit *edit) : QComboBox(parent)
{
    // Handing over an edit makes the box editable without setEditable(), which
    // would build the drop-down list long before anyone opens it. An edit
    // handed over without a completer gets a default one, which costs more
    // than the rest of the box and is dropped again below, so every edit
    // borrows the same one for the hand-over.
    static QPointer<QCompleter> lent;
    if (!lent)
        lent = new QCompleter(QCoreApplication::instance());
    if (!edit)
        edit = new QLineEdit(this);
    edit->setCompleter(lent);
    setLineEdit(edit);
    setInsertPolicy(QComboBox::NoInsert);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // Completion is done here rather than by a QCompleter so that the item index follows
    // every edit, not only Enter.
    setCompleter(nullptr);
    setMaxLength(0);

    connect(lineEdit(), &QLineEdit::textEdited, this, &ComboBox::onTextEdited);
    connect(lineEdit(), &QLineEdit::textChanged, this, [this](const QString &text) { m_lastText = text; });
}

void ComboBox::showPopup()
{
    // Setting a delegate builds the drop-down list; seven of them at start-up
    // cost more than the rest of the window, so it waits for the first opening.
    if (!dynamic_cast<ItemDelegate *>(itemDelegate()))
        setItemDelegate(new ItemDelegate(this));
    QComboBox::showPopup();
}

void ComboBox::setMaxLength(int length)
{
    lineEdit()->setMaxLength(length > 0 ? length : 32767);
}

int ComboBox::maxLength() const
{
    const int length = lineEdit()->maxLength();
    return length == 32767 ? 0 : length;
}

int ComboBox::findPrefix(const QString &text) const
{
    if (text.isEmpty())
        return -1;
    for (int i = 0; i < count(); ++i) {
        if (itemText(i).startsWith(text, Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

void ComboBox::selectKeepingText(int index, const QString &text, int cursor)
{
    // QComboBox writes the item's text (or nothing, for -1) into the edit; put the
    // user's text back.
    QLineEdit *edit = lineEdit();
    setCurrentIndex(index);
    if (edit->text() != text)
        edit->setText(text);
    edit->setCursorPosition(cursor);
}

void ComboBox::onTextEdited(const QString &text)
{
    QLineEdit *edit = lineEdit();
    const int cursor = edit->cursorPosition();
    const bool typedAtEnd =
        text.size() > m_lastText.size() && cursor == text.size() && !edit->hasSelectedText();
    m_lastText = text;

    // An exact match (ignoring case) wins over an earlier item that merely begins with
    // the text, so "No-Cache" typed in full selects that item and not a longer one.
    int index = -1;
    for (int i = 0; i < count() && index < 0 && !text.isEmpty(); ++i) {
        if (itemText(i).compare(text, Qt::CaseInsensitive) == 0)
            index = i;
    }
    if (index < 0)
        index = findPrefix(text);

    // An item longer than the maximum length cannot be shown whole; it is not offered.
    if (typedAtEnd && index >= 0 && itemText(index).size() <= edit->maxLength()) {
        const QString item = itemText(index);
        setCurrentIndex(index);
        edit->setText(item);
        // The completed part stays selected so that the next typed character replaces it.
        edit->setSelection(item.size(), text.size() - item.size());
        return;
    }
    selectKeepingText(index, text, cursor);
}

} // namespace brindle::widgets
