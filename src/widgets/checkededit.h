#pragma once

// A value that may be refused, told to everyone: CheckedEdit, an input that
// carries why its value is refused, and AlertLabel, the message that says
// it. Assistive technology finds the input marked invalid and described by
// its message, and the label as a notification that appears anew, and so
// is spoken, when a value is newly refused.

#include "widgets/edits.h"

#include <QLabel>

namespace brindle::widgets {

class CheckedEdit : public Edit
{
    Q_OBJECT

public:
    explicit CheckedEdit(int maxLength, QWidget *parent = nullptr);

    // Why the value is refused; empty when it is fine.
    void setProblem(const QString &message);
    QString problem() const { return m_problem; }
    // Where the caret is drawn.
    QRect caretRect() const { return cursorRect(); }

private:
    QString m_problem;
};

class AlertLabel : public QLabel
{
    Q_OBJECT

public:
    explicit AlertLabel(QWidget *parent = nullptr);

    // Shows the messages, one a line; hidden while there are none. `fresh`
    // says that one of them is new, which is then announced.
    void setMessages(const QStringList &messages, bool fresh);
};

} // namespace brindle::widgets
