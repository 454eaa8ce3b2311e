#include "widgets/checkededit.h"

#include "widgets/checkedaccessible.h"

#include <QFontMetrics>

using namespace Qt::StringLiterals;

namespace brindle::widgets {

namespace {

// What assistive technology sees of a CheckedEdit: an editable text, as of
// any line edit, served from the edit's public interface.
class CheckedEditAccessible final : public CheckedAccessible<CheckedEdit>
{
public:
    using CheckedAccessible::CheckedAccessible;
    using CheckedAccessible::text;

protected:
    QString value() const override { return edit()->text(); }
    void setValue(const QString &text) override { edit()->setText(text); }

public:
    // QAccessibleTextInterface
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex == 0 && edit()->hasSelectedText()) {
            *startOffset = edit()->selectionStart();
            *endOffset = edit()->selectionEnd();
        }
    }
    int selectionCount() const override { return edit()->hasSelectedText() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex == 0)
            edit()->deselect();
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex == 0)
            edit()->setSelection(startOffset, endOffset - startOffset);
    }
    int cursorPosition() const override { return edit()->cursorPosition(); }
    void setCursorPosition(int position) override { edit()->setCursorPosition(position); }
    QString text(int startOffset, int endOffset) const override
    {
        if (startOffset > endOffset)
            return {};
        return edit()->text().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(edit()->text().size()); }
    QRect characterRect(int offset) const override
    {
        // Measured from the caret, which the edit knows the place of.
        const QString text = edit()->displayText();
        if (offset < 0 || offset >= text.size())
            return {};
        const QFontMetrics metrics(edit()->font());
        const QRect caret = edit()->caretRect();
        const int x = caret.center().x() + metrics.horizontalAdvance(text.left(offset)) -
                      metrics.horizontalAdvance(text.left(edit()->cursorPosition()));
        const QRect r(x, caret.top(), metrics.horizontalAdvance(text.at(offset)), caret.height());
        return QRect(edit()->mapToGlobal(r.topLeft()), r.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return edit()->cursorPositionAt(edit()->mapFromGlobal(point));
    }
    void scrollToSubstring(int startIndex, int endIndex) override
    {
        edit()->setCursorPosition(endIndex);
        edit()->setCursorPosition(startIndex);
    }
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return {};
    }

    // QAccessibleEditableTextInterface
    void deleteText(int startOffset, int endOffset) override { replaceText(startOffset, endOffset, {}); }
    void insertText(int offset, const QString &text) override { replaceText(offset, offset, text); }
    void replaceText(int startOffset, int endOffset, const QString &text) override
    {
        if (edit()->isReadOnly() || startOffset < 0 || startOffset > endOffset)
            return;
        edit()->setSelection(startOffset, endOffset - startOffset);
        edit()->insert(text);
    }
};

// The message label as a notification, named by its text: screen readers
// on Linux speak a notification when it appears, and have no word for an
// alert inside a window.
class AlertLabelAccessible final : public QAccessibleWidget
{
public:
    explicit AlertLabelAccessible(AlertLabel *label) : QAccessibleWidget(label, QAccessible::Notification) {}

    QString text(QAccessible::Text t) const override
    {
        QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && own.isEmpty())
            return static_cast<const QLabel *>(widget())->text();
        return own;
    }
};

QAccessibleInterface *checkedFactory(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1StringView(CheckedEdit::staticMetaObject.className()))
        return new CheckedEditAccessible(static_cast<CheckedEdit *>(object));
    if (className == QLatin1StringView(AlertLabel::staticMetaObject.className()))
        return new AlertLabelAccessible(static_cast<AlertLabel *>(object));
    return nullptr;
}

void installFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(checkedFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace

CheckedEdit::CheckedEdit(int maxLength, QWidget *parent) : Edit(maxLength, parent)
{
    installFactory();
}

void CheckedEdit::setProblem(const QString &message)
{
    if (message == m_problem)
        return;
    const bool wasValid = m_problem.isEmpty();
    m_problem = message;
    // Not through setAccessibleDescription: Qt's Linux bridge sends that
    // change with the object in place of the text, which a screen reader
    // fails on. The message label announces the message instead.
    if (wasValid != message.isEmpty() && QAccessible::isActive()) {
        QAccessible::State changed;
        changed.invalid = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
}

AlertLabel::AlertLabel(QWidget *parent) : QLabel(parent)
{
    installFactory();
    setTextFormat(Qt::PlainText);
    hide();
}

void AlertLabel::setMessages(const QStringList &messages, bool fresh)
{
    const QString text = messages.join(u'\n');
    if (text != QLabel::text()) {
        setText(text);
        if (QAccessible::isActive()) {
            QAccessibleEvent event(this, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&event);
        }
    }
    // A new message while others show appears anew, which is what readers
    // announce; nothing is drawn in between.
    if (fresh && isVisible() && QAccessible::isActive())
        hide();
    setVisible(!messages.isEmpty());
    // Only what is on show is announced.
    if (fresh && !messages.isEmpty() && isVisible() && QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::Alert);
        QAccessible::updateAccessibility(&event);
    }
}

} // namespace brindle::widgets
