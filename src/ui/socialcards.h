#pragma once

// The Social Cards window: the Open Graph and Twitter card values of the
// profile, the tick that puts them into the output, and a live preview of
// the card a shared link shows. Its inputs are part of the profile like the
// main window's: the profile workflow reads and sets them through the main
// window. It stays open beside the main window and keeps its values while
// hidden.

#include "tags/socialtags.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace brindle::widgets {
class AlertLabel;
class GradientPanel;
} // namespace brindle::widgets

namespace brindle::ui {

class CardPreview;
class SecondaryWindow;
class Thintf;

class SocialCardsWindow : public QDialog
{
    Q_OBJECT

public:
    explicit SocialCardsWindow(QWidget *mainWindow, Thintf *hint = nullptr);

    tags::SocialValues values() const;
    void setValues(const tags::SocialValues &social);
    // The main window's Title and Description, which og:title and
    // og:description left empty stand for.
    void setClassicValues(const QString &title, const QString &description);

    // Centred over the main window the first time, then where it was.
    void showOver(QWidget *mainWindow);

    // The caption and explanation of a field's hint.
    static QString hintCaption(int field);
    static QString hintText(int field);

    QWidget *input(int field) const { return m_inputs[std::size_t(field)]; }
    QLineEdit *lineEdit(int field) const;
    QCheckBox *useBox() const { return m_useBox; }
    CardPreview *preview() const { return m_preview; }
    // Every refused value, one a line (with where a local og:image goes
    // instead), or empty.
    QString problemText() const;
    // A local picture the preview shows instead of og:image; not part of
    // the profile.
    QLineEdit *previewPicture() const { return m_picture; }

signals:
    // An input or the tick changed.
    void valuesChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();
    void layoutPreview();
    void choosePicture();
    void showHint(int field);
    void inputChanged();

    std::array<QWidget *, tags::kSocialFieldCount> m_inputs{};
    widgets::GradientPanel *m_fields = nullptr;
    QCheckBox *m_useBox = nullptr;
    std::array<QLabel *, tags::kSocialFieldCount> m_labels{};
    QLabel *m_previewNote = nullptr;
    QLabel *m_pictureLabel = nullptr;
    QLineEdit *m_picture = nullptr;
    QWidget *m_browse = nullptr;
    widgets::AlertLabel *m_problem = nullptr;
    QList<int> m_refused; // the fields whose values are refused now
    CardPreview *m_preview = nullptr;
    Thintf *m_hint = nullptr;
    QString m_classicTitle;
    QString m_classicDescription;
    SecondaryWindow *m_place = nullptr;
};

} // namespace brindle::ui
