#pragma once

// What the inputs whose value may be refused share before assistive
// technology: an editable text that is marked invalid, and described by the
// message, while its value is refused. Qt's own interfaces of line and text
// edits cannot be extended, so each input serves its text through the
// subclass; the rest is here once.

#include <QAccessible>
#include <QAccessibleWidget>

namespace brindle::widgets {

template<class Edit>
class CheckedAccessible : public QAccessibleWidget,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface
{
public:
    explicit CheckedAccessible(Edit *edit) : QAccessibleWidget(edit, QAccessible::EditableText) {}

    Edit *edit() const { return static_cast<Edit *>(widget()); }

    // The text interface's text(start, end) stays visible beside this one.
    using QAccessibleTextInterface::text;

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return value();
        if (t == QAccessible::Description && !edit()->problem().isEmpty())
            return edit()->problem();
        return QAccessibleWidget::text(t);
    }
    void setText(QAccessible::Text t, const QString &text) override
    {
        if (t == QAccessible::Value)
            setValue(text);
        else
            QAccessibleWidget::setText(t, text);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = edit()->isReadOnly();
        state.editable = !state.readOnly;
        state.selectableText = true;
        state.invalid = !edit()->problem().isEmpty();
        return state;
    }
    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (t == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

protected:
    virtual QString value() const = 0;
    virtual void setValue(const QString &text) = 0;
};

} // namespace brindle::widgets
