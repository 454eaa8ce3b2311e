#pragma once

// Thintf, the hint popup: the small borderless window that explains one tag,
// opened by the hint buttons of the main window.

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QWindow;

namespace brindle::widgets {
class GradientPanel;
class ImageButton;
} // namespace brindle::widgets

namespace brindle::ui {

class SecondaryWindow;

class Thintf : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kSlotCount = 15;

    explicit Thintf(QWidget *parent = nullptr);

    // The caption and text of a slot (its ListRow, 1..15); empty outside.
    static QString hintCaption(int slot);
    static QString hintText(int slot);

    // Loads a slot's caption and text without showing the window.
    void ShowTagHint(int slot);
    // What a hint button does: loads the slot, then shows the popup, centred
    // over the main window the first time and at the same place afterwards.
    // The popup takes neither the activation nor the focus: typing goes on
    // in the input, and the length line follows it.
    void showHint(int listRow, QWidget *mainWindow);
    // The same for a caption and text of another window's input (the social
    // card fields), placed and closed as the tags' hints are.
    void showText(const QString &caption, const QString &text, QWidget *over);

    QString captionText() const;
    QString hintText() const;

    // The inputs whose length the Title and Description hints show below
    // their text, against what a search result shows; the line follows
    // typing while the popup is open.
    void setMeasuredInputs(QLineEdit *title, QLineEdit *description);
    // Empty when the hint on show has no length line.
    QString lengthText() const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void showOver(QWidget *over);
    void focusWindowChanged(QWindow *window);
    void applyColors();
    void setTexts(const QString &caption, const QString &text);
    QLineEdit *measuredInput() const;
    void updateLength();

    SecondaryWindow *m_place = nullptr;
    widgets::GradientPanel *m_body = nullptr;
    widgets::GradientPanel *m_header = nullptr;
    widgets::ImageButton *btHintTitle = nullptr;
    QLabel *m_caption = nullptr;
    QLabel *lbhint = nullptr;
    QLabel *m_lengthLabel = nullptr;
    QLineEdit *m_titleInput = nullptr;
    QLineEdit *m_descriptionInput = nullptr;
    int m_slot = 0;
    // The window the popup was shown for; its own focus does not close it.
    QPointer<QWidget> m_over;
};

} // namespace brindle::ui
