#include "ui/aboutbox.h"

#include "buildinfo.h"
#include "ui/secondarywindow.h"
#include "widgets/accessibleinterfaces.h"
#include "widgets/fadinglinklabel.h"
#include "widgets/fonts.h"
#include "widgets/gradientpanel.h"
#include "widgets/images.h"
#include "widgets/systemcolors.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace brindle::ui {

Tfinfo::Tfinfo(QWidget *mainWindow)
    : QDialog(mainWindow,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    widgets::installAccessibleInterfaces();
    setObjectName(u"finfo"_s);
    setWindowTitle(u"About"_s);
    setFont(widgets::uiFont(8));
    setFixedSize(277, 153);
    // The face colour (clBtnFace) is the window background role.
    setAutoFillBackground(true);
    // Only the OK button and the close box close the box.
    m_place = new SecondaryWindow(this, SecondaryWindow::Escape::Ignored);

    m_band = new widgets::GradientPanel(this);
    m_band->setObjectName(u"pnheader"_s);
    m_band->setGeometry(0, 0, 277, 97);
    m_band->setBorderSides(Qt::BottomEdge);

    m_icon = new QLabel(m_band);
    m_icon->setObjectName(u"imicon"_s);
    m_icon->setGeometry(32, 16, 32, 32);
    m_icon->setPixmap(widgets::loadImage(u":/images/app.png"_s)
                          .scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));

    m_name = new QLabel(u"Brindle v"_s + QStringLiteral(BRINDLE_VERSION), m_band);
    m_name->setObjectName(u"lbname"_s);
    m_name->setFont(widgets::uiFont(8, true));
    m_name->move(80, 16);

    m_maker = new QLabel(u"Freeware by Ovalin"_s, m_band);
    m_maker->setObjectName(u"lbmaker"_s);
    m_maker->move(80, 32);

    m_link = new widgets::FadingLinkLabel(m_band);
    m_link->setObjectName(u"lbhomepage"_s);
    m_link->setGeometry(16, 67, 249, 12);
    m_link->setFont(widgets::uiPixelFont(10));
    m_link->setText(u"Visit Homepage"_s);
    m_link->setUrl(QString::fromUtf8(BRINDLE_HOMEPAGE));

    m_okButton = new QPushButton(u"&Ok"_s, this);
    m_okButton->setObjectName(u"btOk"_s);
    m_okButton->setGeometry(96, 115, 75, 25);
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    m_okButton->setFocus();

    applyColors();
}

void Tfinfo::showOver(QWidget *mainWindow)
{
    // Sized here rather than at start-up, where laying out the bold name
    // would load a font that nothing else on the first screen uses.
    m_name->adjustSize();
    m_maker->adjustSize();
    m_place->place(mainWindow ? mainWindow : parentWidget());
    m_okButton->setFocus();
    exec();
}

void Tfinfo::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        applyColors();
    QDialog::changeEvent(event);
}

void Tfinfo::applyColors()
{
    m_band->setBorderColor(widgets::adjustLightness(widgets::clBtnShadow(palette()), 30));
}

} // namespace brindle::ui
