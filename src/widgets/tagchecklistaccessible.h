#pragma once

// What assistive technology sees of a TOvCheckList: a list whose rows are
// check boxes (ticked or not) and headings (the group rows). The list draws
// its rows itself, so without this a screen reader would find one nameless
// area.

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>

namespace brindle::widgets {

class TOvCheckList;

class CheckListAccessible : public QAccessibleWidget
{
public:
    explicit CheckListAccessible(TOvCheckList *list);
    ~CheckListAccessible() override;

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;

    TOvCheckList *list() const;
    // The rows were inserted, removed or moved: their interfaces go.
    void forgetRows();

    // Installs the factory that gives every TOvCheckList this interface.
    static void install();

private:
    mutable QHash<int, QAccessible::Id> m_rows;
};

// Notifications from the list, sent only while assistive technology listens:
// nothing of this is built at start-up otherwise.
void accessibleRowStateChanged(TOvCheckList *list, int row);
// The current row moved from `old` to `row` (either may be -1).
void accessibleCurrentRowChanged(TOvCheckList *list, int old, int row);
// The list took the focus: its current row is what a reader must announce.
void accessibleListFocused(TOvCheckList *list);
void accessibleRowsChanged(TOvCheckList *list);

} // namespace brindle::widgets
