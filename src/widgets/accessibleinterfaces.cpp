#include "widgets/accessibleinterfaces.h"

#include "widgets/fadinglinklabel.h"
#include "widgets/imagebutton.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace brindle::widgets {

namespace {

// A combo box as Qt presents it (the list and the edit as children, the
// list's actions), named by its accessible name or, failing that, by the
// label whose buddy it is. Qt's own interface cannot be extended.
class ChoiceAccessible final : public QAccessibleWidget
{
public:
    explicit ChoiceAccessible(QComboBox *combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QComboBox *comboBox() const { return static_cast<QComboBox *>(widget()); }

    int childCount() const override { return comboBox()->isEditable() ? 2 : 1; }
    QAccessibleInterface *child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(comboBox()->view());
        if (index == 1 && comboBox()->isEditable())
            return QAccessible::queryAccessibleInterface(comboBox()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child)
            return -1;
        if (child->object() == comboBox()->view())
            return 0;
        if (comboBox()->isEditable() && child->object() == comboBox()->lineEdit())
            return 1;
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QLineEdit *edit = comboBox()->isEditable() ? comboBox()->lineEdit() : nullptr;
        if (edit && QRect(edit->mapToGlobal(QPoint()), edit->size()).contains(x, y))
            return child(1);
        return nullptr;
    }
    // The combo box is the focus proxy of its edit, which so never has the
    // focus itself, but the caret is there.
    QAccessibleInterface *focusChild() const override
    {
        return comboBox()->isEditable() ? child(1) : nullptr;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return value();
        QString text = QAccessibleWidget::text(t);
        // Without a name or a label, the value says at least something.
        if (t == QAccessible::Name && text.isEmpty())
            return value();
        return text;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = comboBox()->view()->isVisible();
        s.editable = comboBox()->isEditable();
        return s;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString &name) override
    {
        if (name != showMenuAction() && name != pressAction())
            return;
        if (comboBox()->view()->isVisible())
            comboBox()->hidePopup();
        else
            comboBox()->showPopup();
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QString value() const
    {
        return comboBox()->isEditable() ? comboBox()->lineEdit()->text() : comboBox()->currentText();
    }
};

// The link: followed by its press action, as by a click or Enter.
class LinkAccessible final : public QAccessibleWidget
{
public:
    explicit LinkAccessible(FadingLinkLabel *link) : QAccessibleWidget(link, QAccessible::Link) {}

    FadingLinkLabel *link() const { return static_cast<FadingLinkLabel *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return link()->url();
        QString text = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && text.isEmpty())
            return link()->text();
        return text;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.linked = true;
        return s;
    }
    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &name) override
    {
        if (name == pressAction())
            link()->activate();
        else
            QAccessibleWidget::doAction(name);
    }
    QStringList keyBindingsForAction(const QString &name) const override
    {
        return name == pressAction() ? QStringList{u"Return"_s}
                                     : QAccessibleWidget::keyBindingsForAction(name);
    }
};

QAccessibleInterface *correctedFactory(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (className == "QComboBox"_L1)
        return new ChoiceAccessible(static_cast<QComboBox *>(widget));
    if (className == "QFrame"_L1) {
        const QFrame::Shape shape = static_cast<QFrame *>(widget)->frameShape();
        if (shape == QFrame::HLine || shape == QFrame::VLine)
            return new QAccessibleWidget(widget, QAccessible::Separator);
        return nullptr;
    }
    // Reached only by classes that no interface of Qt's covers on the way.
    if (className == "QWidget"_L1 && widget->isWindow())
        return new QAccessibleWidget(widget, QAccessible::Window);
    if (className == QLatin1StringView(ImageButton::staticMetaObject.className()) &&
        static_cast<ImageButton *>(widget)->isPicture())
        return new QAccessibleWidget(widget, QAccessible::Graphic);
    if (className == QLatin1StringView(FadingLinkLabel::staticMetaObject.className()))
        return new LinkAccessible(static_cast<FadingLinkLabel *>(widget));
    return nullptr;
}

} // namespace

void installAccessibleInterfaces()
{
    static const bool installed = [] {
        QAccessible::installFactory(correctedFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace brindle::widgets
