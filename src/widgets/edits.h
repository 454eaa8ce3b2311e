#pragma once

// The windows' input widgets: a fixed-size line edit and an editable drop-down list.
// Both sit on the window colour (clWindow) and draw the theme's frame, with an
// outline that stands out from that colour where the theme's does not.

#include <QComboBox>
#include <QLineEdit>

namespace brindle::widgets {

// A single-line edit of a fixed size with a maximum length. The caller places it with
// setGeometry; the size then stays fixed.
class Edit : public QLineEdit
{
    Q_OBJECT

public:
    explicit Edit(int maxLength, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// An editable drop-down list that behaves like a classic editable combo box:
// - typing at the end of the text completes it inline from the first item that begins
//   with the typed text (ignoring case) and selects that item;
// - any other edit selects the first item whose text begins with the edited text, or no
//   item at all (currentIndex() -1) when none does; the typed text always stays;
// - picking an item from the list or typing its exact text selects it.
// Typed text is never added to the items.
class ComboBox : public QComboBox
{
    Q_OBJECT

public:
    // `edit`, when given, is the edit the box uses (one that tells of a
    // refused value, say); it becomes the box's child.
    explicit ComboBox(QWidget *parent = nullptr, QLineEdit *edit = nullptr);

    // 0 means no limit.
    void setMaxLength(int length);
    int maxLength() const;

    // Height of an item in the drop-down list, at least the font's line height.
    static constexpr int kItemHeight = 13;

    void showPopup() override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void onTextEdited(const QString &text);
    int findPrefix(const QString &text) const;
    void selectKeepingText(int index, const QString &text, int cursor);

    QString m_lastText;
};

} // namespace brindle::widgets
