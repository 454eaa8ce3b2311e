#pragma once

// The Head window: the head tags a page needs beyond the thirteen and the
// social cards (viewport, canonical address, alternates, theme colour, icon,
// the page's language and structured data), a tick for each that has one,
// every refused value named at once, and a live preview of the lines. Like
// the Social Cards window its inputs are part of the profile, reached
// through the main window, and it keeps its values while hidden.

#include "tags/headtags.h"
#include "tags/metataggenerator.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QTextEdit;

namespace brindle::widgets {
class AlertLabel;
class CheckedTextEdit;
} // namespace brindle::widgets

namespace brindle::ui {

class SecondaryWindow;
class Thintf;

class HeadWindow : public QDialog
{
    Q_OBJECT

public:
    explicit HeadWindow(QWidget *mainWindow, Thintf *hint = nullptr);

    tags::HeadValues values() const;
    void setValues(const tags::HeadValues &head);
    // The classic and social values the structured data takes its
    // properties from; their head values are not looked at.
    void setOtherValues(const tags::TagValues &values);
    // The page mode of the tags made last (1 HTML, 2 XHTML): the preview
    // shows the lines as they would be made.
    void setPageMode(int pageMode);
    int pageMode() const { return m_pageMode; }

    // Centred over the main window the first time, then where it was.
    void showOver(QWidget *mainWindow);

    static QString hintCaption(int field);
    static QString hintText(int field);

    QWidget *input(int field) const { return m_inputs[std::size_t(field)]; }
    // The tick of a field; none for the structured data's own fields.
    QCheckBox *tick(int field) const { return m_ticks[std::size_t(field)]; }
    QComboBox *typeChoice() const;
    widgets::CheckedTextEdit *alternatesInput() const;
    // The text of an input as typed (the alternates one a line).
    QString inputText(int field) const;
    void setInputText(int field, const QString &text);
    // Every refused value, one a line, or empty.
    QString problemText() const;
    // The lines the preview shows, one a line.
    QString previewText() const;
    // The theme colour shown beside its input; invalid while none is.
    QColor shownThemeColour() const;

signals:
    // An input or a tick changed.
    void valuesChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();
    void inputChanged();
    void showHint(int field);
    int fieldOf(const QObject *object) const;

    std::array<QWidget *, tags::kHeadFieldCount> m_inputs{};
    std::array<QCheckBox *, tags::kHeadFieldCount> m_ticks{};
    std::array<QLabel *, tags::kHeadFieldCount> m_labels{};
    QLabel *m_previewCaption = nullptr;
    QTextEdit *m_preview = nullptr;
    QLabel *m_languageNote = nullptr;
    QFrame *m_swatch = nullptr; // the theme colour
    widgets::AlertLabel *m_problem = nullptr;
    QList<int> m_refused; // the fields whose values are refused now
    Thintf *m_hint = nullptr;
    SecondaryWindow *m_place = nullptr;
    tags::TagValues m_other;
    int m_pageMode = 1;
    QString m_previewLines;
    // The alternates as last set: the input shows them one a line, and
    // gives them back as they were while they are not edited.
    QString m_alternatesSet;
    bool m_setting = false;
};

} // namespace brindle::ui
