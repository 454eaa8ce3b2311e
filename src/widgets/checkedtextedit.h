#pragma once

// CheckedTextEdit: a multi-line input whose value may be refused, told to
// assistive technology as CheckedEdit tells it of a single line: marked
// invalid and described by the message while the value is refused.

#include <QPlainTextEdit>

namespace brindle::widgets {

class CheckedTextEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit CheckedTextEdit(QWidget *parent = nullptr);

    // Why the value is refused; empty when it is fine.
    void setProblem(const QString &message);
    QString problem() const { return m_problem; }

    // The caret's rectangle in the viewport of a cursor at `position`.
    QRect rectAt(int position) const;
    int positionAt(const QPoint &viewportPoint) const;

private:
    QString m_problem;
};

} // namespace brindle::widgets
