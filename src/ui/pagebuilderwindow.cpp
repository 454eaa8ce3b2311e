#include "ui/pagebuilderwindow.h"

#include "base/filewriter.h"
#include "render/webpage.h"
#include "ui/secondarywindow.h"
#include "widgets/accessibleinterfaces.h"
#include "widgets/fonts.h"
#include "widgets/gradientpanel.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace brindle::ui {

namespace {

QString listText(int row)
{
    const std::u16string_view text = render::kDocumentTypes[std::size_t(row)].listText;
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

} // namespace

Tfcreaht::Tfcreaht(QWidget *mainWindow)
    : QDialog(mainWindow,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_sadi({u"Save as Web Page"_s, u"HTML Web Page"_s, u"*.html"_s, u"html"_s, true})
{
    widgets::installAccessibleInterfaces();
    setObjectName(u"fcreaht"_s);
    setWindowTitle(u"Create HTML"_s);
    setFont(widgets::uiFont(8));
    setFixedSize(332, 143);

    m_panel = new widgets::GradientPanel(this);
    m_panel->setObjectName(u"pntop"_s);
    m_panel->setGeometry(0, 0, 332, 89);
    m_panel->setBorderSides(Qt::BottomEdge);

    m_lbIntro = new QLabel(u"Create a blank web page using the generated meta tags."_s, m_panel);
    m_lbIntro->move(25, 14);
    m_lbIntro->adjustSize();
    m_lbSelect = new QLabel(u"Select Document Type (DTD) :"_s, m_panel);
    m_lbSelect->move(12, 50);
    m_lbSelect->adjustSize();

    cbXHT = new QComboBox(m_panel);
    cbXHT->setObjectName(u"cbXHT"_s);
    cbHTM = new QComboBox(m_panel);
    cbHTM->setObjectName(u"cbHTM"_s);
    for (int row = 0; row < int(render::kDocumentTypes.size()); ++row)
        (render::kDocumentTypes[std::size_t(row)].xhtml ? cbXHT : cbHTM)->addItem(listText(row));
    for (QComboBox *list : {cbXHT, cbHTM}) {
        list->setEditable(false);
        list->setGeometry(163, 47, 150, 21);
        list->setMaxVisibleItems(8);
        // The viewer shows the one its lines were made for.
        list->hide();
    }
    // The label names the list on show (see showFor).
    m_lbSelect->setBuddy(cbHTM);
    cbXHT->setCurrentIndex(render::kDefaultXhtmlItem);
    cbHTM->setCurrentIndex(render::kDefaultHtmlItem);
    connect(cbXHT, &QComboBox::activated, this, &Tfcreaht::cbXHTChange);
    connect(cbHTM, &QComboBox::activated, this, &Tfcreaht::cbHTMChange);

    Button1 = new QPushButton(u"&Cancel"_s, this);
    Button1->setObjectName(u"Button1"_s);
    Button1->setGeometry(64, 105, 75, 25);
    btoke = new QPushButton(u"&Ok"_s, this);
    btoke->setObjectName(u"btoke"_s);
    btoke->setGeometry(198, 105, 75, 25);
    // Neither button answers Enter, and Esc does nothing.
    m_place = new SecondaryWindow(this, SecondaryWindow::Escape::Ignored);
    for (QPushButton *button : {Button1, btoke}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(Button1, &QPushButton::clicked, this, &Tfcreaht::Button1Click);
    connect(btoke, &QPushButton::clicked, this, &Tfcreaht::btokeClick);

    // The hidden list drops out of the chain by itself.
    setTabOrder(cbXHT, cbHTM);
    setTabOrder(cbHTM, Button1);
    setTabOrder(Button1, btoke);

    FormCreate();
}

void Tfcreaht::FormCreate()
{
    for (int row = 0; row < int(m_declarations.size()); ++row)
        m_declarations[std::size_t(row)] = render::declarationText(row);
}

int Tfcreaht::showFor(int pageMode, const QString &tagsText, QWidget *over, const QString &language)
{
    const bool html = render::offersHtmlTypes(pageMode);
    cbHTM->setVisible(html);
    cbXHT->setVisible(!html);
    m_lbSelect->setBuddy(html ? cbHTM : cbXHT);
    m_tagsText = tagsText;
    m_language = language;

    m_place->place(parentWidget());
    if (over) {
        // Kept above the viewer it was opened from, not only above the main window.
        winId();
        if (QWindow *overWindow = over->window()->windowHandle())
            windowHandle()->setTransientParent(overWindow);
    }
    (html ? cbHTM : cbXHT)->setFocus();
    return exec();
}

void Tfcreaht::cbXHTChange()
{
    const int row = render::documentTypeRow(true, cbXHT->currentIndex());
    if (row >= 0)
        m_selectedDeclaration = m_declarations[std::size_t(row)];
}

void Tfcreaht::cbHTMChange()
{
    const int row = render::documentTypeRow(false, cbHTM->currentIndex());
    if (row >= 0)
        m_selectedDeclaration = m_declarations[std::size_t(row)];
}

void Tfcreaht::btokeClick()
{
    if (cbXHT->isVisibleTo(this))
        cbXHTChange();
    else
        cbHTMChange();
    bool written = false;
    guarded(this, [&] { written = GaeHTM(m_selectedDeclaration, m_tagsText); });
    if (written)
        accept();
}

void Tfcreaht::Button1Click()
{
    reject();
}

bool Tfcreaht::GaeHTM(const QString &declaration, const QString &tagsText)
{
    const std::optional<QString> fileName = m_sadi.askSave(this);
    if (!fileName)
        return false;
    writeFileSafely(*fileName, render::pageBytes(declaration, tagsText, m_language));
    return true;
}

void Tfcreaht::done(int result)
{
    QDialog::done(result);
    FormClose();
}

void Tfcreaht::FormClose()
{
    // The selections stay for the next opening.
    cbXHT->hide();
    cbHTM->hide();
}

} // namespace brindle::ui
