#pragma once

// Tfinfo, the about box: program name, version and the homepage link.

#include "ui/centreonce.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace brindle::widgets {
class FadingLinkLabel;
class GradientPanel;
} // namespace brindle::widgets

namespace brindle::ui {

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
    void keyPressEvent(QKeyEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void applyColors();

    CentreOnce m_placement;
    widgets::GradientPanel *m_band = nullptr;
    QLabel *m_icon = nullptr;
    QLabel *m_name = nullptr;
    QLabel *m_maker = nullptr;
    widgets::FadingLinkLabel *m_link = nullptr;
    QPushButton *m_okButton = nullptr;
};

} // namespace brindle::ui
