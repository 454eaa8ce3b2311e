#pragma once

// Tfinfo, the about box: program name, version and the homepage link.

#include <QDialog>

class QLabel;
class QPushButton;

namespace brindle::widgets {
class FadingLinkLabel;
class GradientPanel;
} // namespace brindle::widgets

namespace brindle::ui {

class SecondaryWindow;

class Tfinfo : public QDialog
{
    Q_OBJECT

public:
    // Created once, hidden; centred over mainWindow the first time it shows.
    explicit Tfinfo(QWidget *mainWindow = nullptr);

    // Info > About: shows the box modally; returns when it is closed.
    void showOver(QWidget *mainWindow);

    widgets::FadingLinkLabel *link() const { return m_link; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyColors();

    SecondaryWindow *m_place = nullptr;
    widgets::GradientPanel *m_band = nullptr;
    QLabel *m_icon = nullptr;
    QLabel *m_name = nullptr;
    QLabel *m_maker = nullptr;
    widgets::FadingLinkLabel *m_link = nullptr;
    QPushButton *m_okButton = nullptr;
};

} // namespace brindle::ui
