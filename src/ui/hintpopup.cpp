#include "ui/hintpopup.h"

#include "base/error.h"
#include "base/textutil.h"
#include "check/checker.h"
#include "check/textmeasure.h"
#include "ui/secondarywindow.h"
#include "widgets/accessibleinterfaces.h"
#include "widgets/fonts.h"
#include "widgets/gradientpanel.h"
#include "widgets/imagebutton.h"
#include "widgets/systemcolors.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWindow>

#include <array>
#include <string_view>

using namespace Qt::StringLiterals;

namespace brindle::ui {

namespace {

struct Hint
{
    std::u16string_view caption;
    std::u16string_view text;
};

// By slot (the tag's ListRow) 1..15; the group rows 2 and 12 have no hint.
constexpr std::array<Hint, Thintf::kSlotCount> kHints = {{
    {u"Title", u"Is the title of the document, this sentence appears in the title bar of web browser. "
               u"Suggested not more than 70 characters length. Describes the contents of the page and "
               u"include the main keywords here."},
    {u"", u""},
    {u"Description", u"The Description Meta Tag should contain a coherent description of the page, and "
                     u"should contain words that are located within the page content. This tag tells search "
                     u"engines the description of the page. It is recomended to use some keywords in the "
                     u"description, as search engines also rely on this data to rank pages."},
    {u"Keywords",
     u"The keywords are used by some search engines to index the document. Use 10 of the most popular and "
     u"relevant keywords to that particular page, ideally keyword phrases of 2 to 3 words, separated by a "
     u"comma. Ensure that the keywords you use are located in the title, description and content of the "
     u"page.The ordering also plays a role, make sure you order the keywords in order of importance."},
    {u"Author", u"The content attribute is used to specify the author who create the document."},
    {u"Copyright", u"The content attribute is used to specify copyright statement of the document."},
    {u"Owner", u"The content attribute is used to specify the name of owner of the document."},
    {u"Distribution", u"The content attribute is used to specify distribution level of the document. "
                      u"'Private' means not for the public and should not be indexed by search engines"},
    {u"Rating", u"The content attribute is used to specify an audience content rating."},
    {u"Revisit-After",
     u"The content attribute is used to specify the expected update rate of the web resource. Obviously, you "
     u"can change the interval length between revisits. This is good if your site's description, keywords, "
     u"or material changes often and you would like your site to be listed differently often."},
    {u"Robots", u"The content attribute is used to specify rules for robots (web crawlers for search "
                u"engines). To tell search engines whether or not to index the page, and whether or not to "
                u"index pages that are linked to from yours."},
    {u"", u""},
    {u"Cache-Control",
     u"Control how your pages are cached. The options you have are: public (default) - allows the page to be "
     u"cached, Private - the page may only be cached in private caches, No-cache - the page should never be "
     u"cached, No-store - the page may be cached but not archived."},
    {u"Charset", u"The content attribute is used to to tell the browser which character set to use."},
    {u"Content-Language",
     u"The content attribute is utilized by regional search engines. Declares the primary natural "
     u"language(s) of the document. May be used by search engines to categorize by language."},
}};

constexpr int kHeight = 95;
// The length line below the hint text of the Title and Description hints.
constexpr int kLengthLineHeight = 16;
constexpr int kTitleSlot = 1;
constexpr int kDescriptionSlot = 3;

QString charactersText(int n)
{
    return n == 1 ? u"1 character"_s : u"%1 characters"_s.arg(n);
}

// "Length: 73 characters, 652 of about 600 px a search result shows: too long."
QString lengthLine(int slot, const QString &text)
{
    using namespace check;
    const bool title = slot == kTitleSlot;
    LengthMeasure m;
    try {
        const FontMeasure &font = FontMeasure::liberationSans();
        m = title ? measureTitle(text, font) : measureDescription(text, font);
    } catch (const Error &) {
        m = {true, characterCount(collapseWhitespace(text)), -1};
    }
    const double limit = title ? kTitleMaxPixels : kDescriptionMaxPixels;
    QString line = u"Length: "_s + charactersText(m.characters);
    if (m.pixels >= 0)
        line += u", %1 of about %2 px a search result shows"_s.arg(qRound(m.pixels)).arg(limit);
    if (m.pixels > limit)
        line += u": too long."_s;
    else if (!title && m.characters < kDescriptionMinCharacters)
        line += u": too short (%1 characters at least)."_s.arg(kDescriptionMinCharacters);
    else
        line += u'.';
    return line;
}

} // namespace

Thintf::Thintf(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus)
{
    widgets::installAccessibleInterfaces();
    setAttribute(Qt::WA_ShowWithoutActivating);
    setObjectName(u"hintf"_s);
    setFont(widgets::uiFont(8));
    setFixedSize(515, kHeight);
    m_place = new SecondaryWindow(this);

    m_body = new widgets::GradientPanel(this);
    m_body->setObjectName(u"pnhint"_s);
    m_body->setGeometry(rect());
    m_body->setBorderSides(Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);

    m_header = new widgets::GradientPanel(m_body);
    m_header->setObjectName(u"pnheader"_s);
    m_header->setGeometry(1, 1, 513, 22);
    m_header->setBorderSides(Qt::BottomEdge);

    btHintTitle = new widgets::ImageButton(m_header);
    btHintTitle->setObjectName(u"btHintTitle"_s);
    btHintTitle->setImages(u":/images/hint-hover.png"_s, u":/images/hint-hover.png"_s,
                           u":/images/hint-hover.png"_s);
    btHintTitle->setGeometry(8, 0, 20, 20);
    btHintTitle->setToolTip(u"Show Hint"_s);
    // Only a picture: pressing it does nothing.
    btHintTitle->setPicture(true);
    btHintTitle->setAccessibleName(u"Hint"_s);
    btHintTitle->setFocusPolicy(Qt::NoFocus);

    m_caption = new QLabel(m_header);
    m_caption->setObjectName(u"lbcaption"_s);
    m_caption->setFont(widgets::uiFont(8, true));
    m_caption->move(34, 4);
    // A click on the caption must not reach the header, which would close the popup.
    m_caption->installEventFilter(this);

    lbhint = new QLabel(m_body);
    lbhint->setObjectName(u"lbhint"_s);
    lbhint->setFont(widgets::arialFont(8));
    lbhint->setGeometry(10, 28, 490, 63);
    lbhint->setWordWrap(true);
    lbhint->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_lengthLabel = new QLabel(m_body);
    m_lengthLabel->setObjectName(u"lengthLabel"_s);
    m_lengthLabel->setFont(widgets::arialFont(8));
    m_lengthLabel->setGeometry(10, kHeight - 2, 490, kLengthLineHeight - 2);
    m_lengthLabel->setTextFormat(Qt::PlainText);
    m_lengthLabel->hide();

    applyColors();
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &Thintf::focusWindowChanged);
}

QString Thintf::hintCaption(int slot)
{
    if (slot < 1 || slot > kSlotCount)
        return {};
    return toQString(kHints[std::size_t(slot - 1)].caption);
}

QString Thintf::hintText(int slot)
{
    if (slot < 1 || slot > kSlotCount)
        return {};
    return toQString(kHints[std::size_t(slot - 1)].text);
}

void Thintf::ShowTagHint(int slot)
{
    if (slot < 1 || slot > kSlotCount)
        return;
    setTexts(hintCaption(slot), hintText(slot));
    m_slot = slot;
    // The popup grows by the length line for the two tags that have one.
    const bool measured = measuredInput() != nullptr;
    setFixedSize(515, kHeight + (measured ? kLengthLineHeight : 0));
    m_body->setGeometry(rect());
    m_lengthLabel->setVisible(measured);
    updateLength();
}

void Thintf::setMeasuredInputs(QLineEdit *title, QLineEdit *description)
{
    m_titleInput = title;
    m_descriptionInput = description;
    for (QLineEdit *input : {title, description}) {
        if (input) {
            connect(input, &QLineEdit::textChanged, this, [this] {
                if (isVisible())
                    updateLength();
            });
        }
    }
}

QLineEdit *Thintf::measuredInput() const
{
    if (m_slot == kTitleSlot)
        return m_titleInput;
    if (m_slot == kDescriptionSlot)
        return m_descriptionInput;
    return nullptr;
}

void Thintf::updateLength()
{
    const QLineEdit *input = measuredInput();
    if (!input) {
        m_lengthLabel->clear();
        return;
    }
    m_lengthLabel->setText(lengthLine(m_slot, input->text()));
}

QString Thintf::lengthText() const
{
    return m_lengthLabel->isVisibleTo(this) ? m_lengthLabel->text() : QString();
}

void Thintf::showHint(int listRow, QWidget *mainWindow)
{
    ShowTagHint(listRow);
    showOver(mainWindow);
}

void Thintf::showText(const QString &caption, const QString &text, QWidget *over)
{
    setTexts(caption, text);
    // No length line: that belongs to the Title and Description hints.
    m_slot = 0;
    setFixedSize(515, kHeight);
    m_body->setGeometry(rect());
    m_lengthLabel->hide();
    showOver(over);
}

void Thintf::showOver(QWidget *over)
{
    if (!isVisible())
        m_place->place(over);
    m_over = over ? over->window() : nullptr;
    show();
    raise();
    // Clicks elsewhere in the program close the popup: with the focus left
    // where it was, no change of the focus tells of them.
    qApp->installEventFilter(this);
}

void Thintf::setTexts(const QString &caption, const QString &text)
{
    m_caption->setText(caption);
    m_caption->adjustSize();
    lbhint->setText(text);
    // The popup has no caption bar to carry a title.
    setAccessibleName(u"Hint: "_s + caption);
    setAccessibleDescription(text);
}

QString Thintf::captionText() const
{
    return m_caption->text();
}

QString Thintf::hintText() const
{
    return lbhint->text();
}

void Thintf::focusWindowChanged(QWindow *window)
{
    // Another window of this program took the focus. When the user switches
    // to another program no window of ours has it (nullptr): stay open.
    if (!window || !isVisible() || window == windowHandle())
        return;
    if (!m_over || window != m_over->windowHandle())
        hide();
}

void Thintf::mousePressEvent(QMouseEvent *event)
{
    // Presses on the body, the free header and the text arrive here.
    event->accept();
}

void Thintf::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        hide();
}

bool Thintf::eventFilter(QObject *watched, QEvent *event)
{
    if (isVisible() && watched->isWidgetType()) {
        const auto *widget = static_cast<QWidget *>(watched);
        if (event->type() == QEvent::MouseButtonPress && widget->window() != this) {
            // A press anywhere else in the program, which would have taken
            // the activation from a popup that had it.
            hide();
        } else if (event->type() == QEvent::KeyPress &&
                   static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape && widget->window() == m_over) {
            hide();
            return true;
        }
    }
    if (watched == m_caption) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Thintf::hideEvent(QHideEvent *event)
{
    qApp->removeEventFilter(this);
    QWidget::hideEvent(event);
}

void Thintf::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        applyColors();
    QWidget::changeEvent(event);
}

void Thintf::applyColors()
{
    const QColor info = widgets::clInfoBk(palette());
    m_body->setGradientColors(info, info);
    m_header->setGradientColors(QColor(255, 255, 255), info);
    for (QLabel *label : {m_caption, lbhint, m_lengthLabel}) {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, widgets::clWindowText(palette()));
        label->setPalette(p);
    }
}

} // namespace brindle::ui
