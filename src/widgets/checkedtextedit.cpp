#include "widgets/checkedtextedit.h"

#include "widgets/checkedaccessible.h"

#include <QFontMetrics>

#include <algorithm>

namespace brindle::widgets {

namespace {

// A multi-line input's text, served from the edit's document.
class CheckedTextEditAccessible final : public CheckedAccessible<CheckedTextEdit>
{
public:
    using CheckedAccessible::CheckedAccessible;
    using CheckedAccessible::text;

    QString all() const { return edit()->toPlainText(); }

    QAccessible::State state() const override
    {
        QAccessible::State state = CheckedAccessible::state();
        state.multiLine = true;
        return state;
    }

protected:
    QString value() const override { return all(); }
    void setValue(const QString &text) override { edit()->setPlainText(text); }

public:
    // QAccessibleTextInterface
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        const QTextCursor cursor = edit()->textCursor();
        if (selectionIndex == 0 && cursor.hasSelection()) {
            *startOffset = cursor.selectionStart();
            *endOffset = cursor.selectionEnd();
        }
    }
    int selectionCount() const override { return edit()->textCursor().hasSelection() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex != 0)
            return;
        QTextCursor cursor = edit()->textCursor();
        cursor.clearSelection();
        edit()->setTextCursor(cursor);
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex != 0)
            return;
        edit()->setTextCursor(cursorOver(startOffset, endOffset));
    }
    int cursorPosition() const override { return edit()->textCursor().position(); }
    void setCursorPosition(int position) override { edit()->setTextCursor(cursorOver(position, position)); }
    QString text(int startOffset, int endOffset) const override
    {
        if (startOffset > endOffset)
            return {};
        return all().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(all().size()); }
    QRect characterRect(int offset) const override
    {
        if (offset < 0 || offset >= characterCount())
            return {};
        const QRect caret = edit()->rectAt(offset);
        const QFontMetrics metrics(edit()->font());
        const QRect r(caret.left(), caret.top(), metrics.horizontalAdvance(all().at(offset)), caret.height());
        return QRect(edit()->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return edit()->positionAt(edit()->viewport()->mapFromGlobal(point));
    }
    void scrollToSubstring(int startIndex, int endIndex) override
    {
        edit()->setTextCursor(cursorOver(endIndex, endIndex));
        edit()->ensureCursorVisible();
        edit()->setTextCursor(cursorOver(startIndex, startIndex));
        edit()->ensureCursorVisible();
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
        if (edit()->isReadOnly() || startOffset < 0 || startOffset > endOffset ||
            endOffset > characterCount())
            return;
        QTextCursor cursor = cursorOver(startOffset, endOffset);
        cursor.insertText(text);
        edit()->setTextCursor(cursor);
    }

private:
    QTextCursor cursorOver(int from, int to) const
    {
        const int end = characterCount();
        QTextCursor cursor(edit()->document());
        cursor.setPosition(std::clamp(from, 0, end));
        cursor.setPosition(std::clamp(to, 0, end), QTextCursor::KeepAnchor);
        return cursor;
    }
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (object && object->isWidgetType() &&
        className == QLatin1StringView(CheckedTextEdit::staticMetaObject.className()))
        return new CheckedTextEditAccessible(static_cast<CheckedTextEdit *>(object));
    return nullptr;
}

} // namespace

CheckedTextEdit::CheckedTextEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
    // Tab leaves the input, as in every other input of the windows.
    setTabChangesFocus(true);
}

void CheckedTextEdit::setProblem(const QString &message)
{
    if (message == m_problem)
        return;
    const bool wasValid = m_problem.isEmpty();
    m_problem = message;
    setAccessibleDescription(message);
    if (wasValid != message.isEmpty() && QAccessible::isActive()) {
        QAccessible::State changed;
        changed.invalid = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
}

QRect CheckedTextEdit::rectAt(int position) const
{
    QTextCursor cursor(document());
    cursor.setPosition(std::clamp(position, 0, document()->characterCount() - 1));
    return cursorRect(cursor);
}

int CheckedTextEdit::positionAt(const QPoint &viewportPoint) const
{
    return cursorForPosition(viewportPoint).position();
}

} // namespace brindle::widgets
