#include "widgets/tagchecklistaccessible.h"

#include "widgets/tagchecklist.h"

#include <QPointer>
#include <QWidget>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace brindle::widgets {

namespace {

// A row: a check box, or a heading for a group row.
class RowAccessible final : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    RowAccessible(TOvCheckList *list, int row) : m_list(list), m_row(row) {}

    bool isValid() const override { return m_list && m_row >= 0 && m_row < m_list->Count(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override
    {
        return m_list && m_list->window() ? m_list->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_list); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *focusChild() const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !isValid())
            return {};
        const QString text = m_list->Items().strings(m_row);
        // As drawn: a heading without its "//".
        return isGroup() ? text.mid(qsizetype(std::size(TOvCheckListStrings::kGroupPrefix) - 1)) : text;
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect r = m_list->rowRect(m_row);
        return {m_list->viewport()->mapToGlobal(r.topLeft()), r.size()};
    }

    QAccessible::Role role() const override
    {
        return isGroup() ? QAccessible::Heading : QAccessible::CheckBox;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const bool current = m_list->ItemIndex() == m_row;
        s.focusable = true;
        s.selectable = true;
        s.selected = current;
        s.focused = current && m_list->hasFocus();
        const QRect r = m_list->rowRect(m_row);
        s.offscreen = !m_list->viewport()->rect().intersects(r);
        s.invisible = !m_list->isVisible();
        s.disabled = !m_list->isEnabled() || !m_list->IsRowEnabled(m_row);
        if (!isGroup()) {
            s.checkable = true;
            s.checked = m_list->RowState(m_row) == TCheckBoxState::cbChecked;
            s.checkStateMixed = m_list->RowState(m_row) == TCheckBoxState::cbGrayed;
        }
        return s;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override
    {
        if (!isValid() || isGroup() || !m_list->isEnabled() || !m_list->IsRowEnabled(m_row))
            return {};
        return {toggleAction()};
    }
    void doAction(const QString &name) override
    {
        if (name != toggleAction() || actionNames().isEmpty())
            return;
        // As the user's click on the box: the row becomes current, then toggles.
        m_list->setItemIndex(m_row);
        m_list->ToggleCurrentRow();
    }
    QStringList keyBindingsForAction(const QString &name) const override
    {
        return name == toggleAction() ? QStringList{u"Space"_s} : QStringList();
    }

    int row() const { return m_row; }

private:
    bool isGroup() const { return isValid() && m_list->IsGroupRow(m_row); }

    QPointer<TOvCheckList> m_list;
    int m_row;
};

QAccessibleInterface *checkListFactory(const QString &className, QObject *object)
{
    if (className == QLatin1StringView(TOvCheckList::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new CheckListAccessible(static_cast<TOvCheckList *>(object));
    return nullptr;
}

CheckListAccessible *interfaceOf(TOvCheckList *list)
{
    return dynamic_cast<CheckListAccessible *>(QAccessible::queryAccessibleInterface(list));
}

} // namespace

CheckListAccessible::CheckListAccessible(TOvCheckList *list) : QAccessibleWidget(list, QAccessible::List) {}

CheckListAccessible::~CheckListAccessible()
{
    forgetRows();
}

void CheckListAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(checkListFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

TOvCheckList *CheckListAccessible::list() const
{
    return static_cast<TOvCheckList *>(widget());
}

int CheckListAccessible::childCount() const
{
    return list()->Count();
}

QAccessibleInterface *CheckListAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    if (const auto it = m_rows.constFind(index); it != m_rows.constEnd())
        return QAccessible::accessibleInterface(*it);
    auto *row = new RowAccessible(list(), index);
    m_rows.insert(index, QAccessible::registerAccessibleInterface(row));
    return row;
}

int CheckListAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it) {
        if (QAccessible::accessibleInterface(it.value()) == child)
            return it.key();
    }
    return -1;
}

QAccessibleInterface *CheckListAccessible::childAt(int x, int y) const
{
    const int row = list()->rowAt(list()->viewport()->mapFromGlobal(QPoint(x, y)));
    return row >= 0 ? child(row) : nullptr;
}

QAccessibleInterface *CheckListAccessible::focusChild() const
{
    return list()->hasFocus() && list()->ItemIndex() >= 0 ? child(list()->ItemIndex()) : nullptr;
}

void CheckListAccessible::forgetRows()
{
    for (const QAccessible::Id id : std::as_const(m_rows))
        QAccessible::deleteAccessibleInterface(id);
    m_rows.clear();
}

void accessibleRowStateChanged(TOvCheckList *list, int row)
{
    // A heading has no tick to tell of, though Select All sets its state too.
    if (!QAccessible::isActive() || list->IsGroupRow(row))
        return;
    QAccessible::State changed;
    changed.checked = true;
    changed.checkStateMixed = true;
    QAccessibleStateChangeEvent event(list, changed);
    event.setChild(row);
    QAccessible::updateAccessibility(&event);
}

void accessibleCurrentRowChanged(TOvCheckList *list, int old, int row)
{
    if (!QAccessible::isActive())
        return;
    // The row left behind says so, or a reader keeps it selected.
    if (old >= 0 && old < list->Count()) {
        QAccessibleEvent removed(list, QAccessible::SelectionRemove);
        removed.setChild(old);
        QAccessible::updateAccessibility(&removed);
    }
    if (row < 0)
        return;
    QAccessibleEvent selection(list, QAccessible::Selection);
    selection.setChild(row);
    QAccessible::updateAccessibility(&selection);
    if (list->hasFocus()) {
        QAccessibleEvent focus(list, QAccessible::Focus);
        focus.setChild(row);
        QAccessible::updateAccessibility(&focus);
    }
}

void accessibleListFocused(TOvCheckList *list)
{
    if (!QAccessible::isActive())
        return;
    // Qt tells of the list's focus after its focus-in event: the row's focus
    // must come later still, or the list is left as the focused object and a
    // tick on the row goes unheard.
    QMetaObject::invokeMethod(
        list,
        [list] {
            const int row = list->ItemIndex();
            if (!list->hasFocus() || row < 0)
                return;
            QAccessibleEvent focus(list, QAccessible::Focus);
            focus.setChild(row);
            QAccessible::updateAccessibility(&focus);
        },
        Qt::QueuedConnection);
}

void accessibleRowsChanged(TOvCheckList *list)
{
    if (!QAccessible::isActive())
        return;
    if (CheckListAccessible *iface = interfaceOf(list))
        iface->forgetRows();
    QAccessibleEvent event(list, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&event);
}

} // namespace brindle::widgets
