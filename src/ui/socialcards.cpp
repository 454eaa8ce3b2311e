#include "ui/socialcards.h"

#include "base/textutil.h"
#include "ui/cardpreview.h"
#include "ui/hintpopup.h"
#include "ui/secondarywindow.h"
#include "widgets/edits.h"
#include "widgets/fonts.h"
#include "widgets/gradientpanel.h"
#include "widgets/imagebutton.h"
#include "widgets/systemcolors.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace brindle::ui {

using namespace brindle::tags;

namespace {

constexpr int kWindowWidth = 772;
constexpr int kWindowHeight = 412;
constexpr int kPanelWidth = 394;
constexpr int kFirstRow = 36;
constexpr int kRowStep = 26;
constexpr int kInputX = 112;
constexpr int kInputWidth = 248;
// Long enough for any address; the main window's text inputs have their own limits.
constexpr int kMaxLength = 2048;

// By field: the object name of its input and its hint text.
struct FieldUi
{
    const char16_t *inputName;
    const char16_t *hint;
};

constexpr FieldUi kFieldUi[kSocialFieldCount] = {
    {u"eOgTitle", u"The title of the page as a shared link's card shows it. Left empty, the Title of the "
                  u"main window is used. Over 60 characters it is often cut."},
    {u"eOgDescription", u"One or two sentences that the card shows under the title. Left empty, the "
                        u"Description of the main window is used."},
    {u"cbOgType", u"What the page is: website for most pages, article for a news or blog post; also "
                  u"profile, book, video.movie or music.song. Any other type may be typed."},
    {u"eOgUrl", u"The page's own address, absolute (https://...). Shares of the page under other "
                u"addresses are counted for this one."},
    {u"eOgImage", u"The address of the card's picture, absolute (https://...); 1200 x 630 pixels suit the "
                  u"large card. The preview shows a local file (a path or a file: address) while the page "
                  u"is made; a remote picture only as its address, since nothing is fetched."},
    {u"eOgImageAlt", u"A text that describes the picture for people who cannot see it."},
    {u"eOgSiteName", u"The name of the site the page belongs to; the card shows it above the title."},
    {u"eOgLocale", u"The language and country of the page, as language, underscore and country: en_US, "
                   u"de_DE, pt_BR."},
    {u"cbTwitterCard", u"The card's look: summary_large_image for the large picture above the text, summary "
                       u"for a small square picture beside it."},
    {u"eTwitterSite", u"The @name of the site's account."},
    {u"eTwitterCreator", u"The @name of the author's account."},
};

// The input's name without its kind prefix: "OgTitle" for "eOgTitle".
QString baseName(int field)
{
    QString name = QString::fromUtf16(kFieldUi[field].inputName);
    while (!name.isEmpty() && name.front().isLower())
        name.remove(0, 1);
    return name;
}

QString propertyOf(int field)
{
    return toQString(socialFieldInfo(field).property);
}

} // namespace

SocialCardsWindow::SocialCardsWindow(QWidget *mainWindow, Thintf *hint)
    : QDialog(mainWindow,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_hint(hint)
{
    setObjectName(u"fsocial"_s);
    setWindowTitle(u"Social Cards"_s);
    setFont(widgets::uiFont());
    setFixedSize(kWindowWidth, kWindowHeight);
    setAutoFillBackground(true);
    m_place = new SecondaryWindow(this);

    m_fields = new widgets::GradientPanel(this);
    m_fields->setObjectName(u"pnfields"_s);
    m_fields->setColorStyle(widgets::GradientPanel::ColorStyle::Custom);
    m_fields->setGradientColors(widgets::clWindow(), widgets::clWindow());
    m_fields->setBorderSides(Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);
    m_fields->setGeometry(6, 6, kPanelWidth, 364);

    m_useBox = new QCheckBox(u"&Use the social card tags"_s, m_fields);
    m_useBox->setObjectName(u"chUseSocial"_s);
    m_useBox->setGeometry(10, 8, 360, 20);
    connect(m_useBox, &QCheckBox::toggled, this, &SocialCardsWindow::inputChanged);

    QWidget *previous = m_useBox;
    for (int f = 0; f < kSocialFieldCount; ++f) {
        const SocialFieldInfo &info = socialFieldInfo(f);
        const int y = kFirstRow + f * kRowStep;
        auto *label = new QLabel(propertyOf(f), m_fields);
        label->setObjectName(u"lb"_s + baseName(f));
        label->setGeometry(10, y + 2, kInputX - 14, 17);

        QWidget *input = nullptr;
        if (info.items.empty()) {
            auto *edit = new widgets::Edit(kMaxLength, m_fields);
            edit->setGeometry(kInputX, y, kInputWidth, 19);
            connect(edit, &QLineEdit::textChanged, this, &SocialCardsWindow::inputChanged);
            input = edit;
        } else {
            auto *combo = new widgets::ComboBox(m_fields);
            combo->setGeometry(kInputX, y - 1, 186, 21);
            combo->setMaxLength(kMaxLength);
            combo->setInsertPolicy(QComboBox::NoInsert);
            QStringList items;
            for (auto item : info.items)
                items << toQString(item);
            combo->addItems(items);
            combo->setCurrentIndex(-1);
            combo->lineEdit()->setAccessibleName(propertyOf(f));
            combo->lineEdit()->installEventFilter(this);
            connect(combo, &QComboBox::editTextChanged, this, &SocialCardsWindow::inputChanged);
            input = combo;
        }
        input->setObjectName(QString::fromUtf16(kFieldUi[f].inputName));
        input->setAccessibleName(propertyOf(f));
        input->installEventFilter(this);
        label->setBuddy(input);
        setTabOrder(previous, input);
        previous = input;
        m_inputs[std::size_t(f)] = input;

        auto *button = new widgets::ImageButton(m_fields);
        button->setObjectName(u"btHint"_s + baseName(f));
        button->setGeometry(kInputX + kInputWidth + 6, y - 1, 20, 20);
        button->setToolTip(u"Show Hint"_s);
        button->setAccessibleName(u"Show Hint: "_s + propertyOf(f));
        button->setFocusPolicy(Qt::NoFocus);
        button->setImages(u":/images/hint.png"_s, u":/images/hint-hover.png"_s);
        connect(button, &QAbstractButton::clicked, this, [this, f] { showHint(f); });
    }

    auto *note = new QLabel(u"og:title and og:description left empty take the Title and Description of the "
                            u"main window; their lines are written all the same."_s,
                            m_fields);
    note->setObjectName(u"lbfallback"_s);
    note->setWordWrap(true);
    note->setGeometry(10, kFirstRow + kSocialFieldCount * kRowStep + 2, kPanelWidth - 20, 30);

    m_preview = new CardPreview(this);
    m_preview->move(kPanelWidth + 16, 6);

    auto *previewNote =
        new QLabel(u"The card a shared link shows with the large picture. Only a picture in a "
                   u"local file is drawn; a remote one shows its address, as nothing is "
                   u"fetched."_s,
                   this);
    previewNote->setObjectName(u"lbpreview"_s);
    previewNote->setWordWrap(true);
    previewNote->setGeometry(kPanelWidth + 16, m_preview->geometry().bottom() + 8, CardPreview::kCardWidth,
                             30);

    m_problem = new QLabel(this);
    m_problem->setObjectName(u"lbproblem"_s);
    m_problem->setWordWrap(true);
    m_problem->setGeometry(6, 374, kWindowWidth - 100, 32);
    QPalette red = m_problem->palette();
    red.setColor(QPalette::WindowText, QColor(192, 0, 0));
    m_problem->setPalette(red);

    auto *btClose = new QPushButton(u"&Close"_s, this);
    btClose->setObjectName(u"btClose"_s);
    btClose->setGeometry(kWindowWidth - 81, kWindowHeight - 31, 75, 25);
    btClose->setAutoDefault(false);
    connect(btClose, &QPushButton::clicked, this, &QDialog::close);
    setTabOrder(previous, btClose);

    refresh();
}

QString SocialCardsWindow::hintCaption(int field)
{
    return propertyOf(field);
}

QString SocialCardsWindow::hintText(int field)
{
    return QString::fromUtf16(kFieldUi[field].hint);
}

void SocialCardsWindow::showHint(int field)
{
    if (m_hint)
        m_hint->showText(hintCaption(field), hintText(field), this);
}

QLineEdit *SocialCardsWindow::lineEdit(int field) const
{
    QWidget *input = m_inputs[std::size_t(field)];
    if (auto *combo = qobject_cast<QComboBox *>(input))
        return combo->lineEdit();
    return static_cast<QLineEdit *>(input);
}

SocialValues SocialCardsWindow::values() const
{
    SocialValues social;
    for (int f = 0; f < kSocialFieldCount; ++f)
        social[f] = lineEdit(f)->text();
    social.used = m_useBox->isChecked();
    return social;
}

void SocialCardsWindow::setValues(const SocialValues &social)
{
    for (int f = 0; f < kSocialFieldCount; ++f) {
        if (auto *combo = qobject_cast<QComboBox *>(m_inputs[std::size_t(f)])) {
            combo->setCurrentIndex(combo->findText(social[f], Qt::MatchExactly | Qt::MatchCaseSensitive));
            combo->setEditText(social[f]);
        } else {
            lineEdit(f)->setText(social[f]);
        }
    }
    m_useBox->setChecked(social.used);
    refresh();
}

void SocialCardsWindow::setClassicValues(const QString &title, const QString &description)
{
    m_classicTitle = title;
    m_classicDescription = description;
    lineEdit(OgTitle)->setPlaceholderText(title);
    lineEdit(OgDescription)->setPlaceholderText(description);
    refresh();
}

QString SocialCardsWindow::problemText() const
{
    const SocialValues social = values();
    for (int f = 0; f < kSocialFieldCount; ++f) {
        if (QString problem = socialValueProblem(f, social[f]); !problem.isEmpty())
            return problem;
    }
    return {};
}

void SocialCardsWindow::refresh()
{
    const SocialValues social = values();
    CardContent card;
    card.siteName = social[OgSiteName];
    if (card.siteName.isEmpty() && !social[OgUrl].isEmpty())
        card.siteName = QUrl(social[OgUrl]).host();
    card.title = effectiveSocialValue(social, OgTitle, m_classicTitle, m_classicDescription);
    card.description = effectiveSocialValue(social, OgDescription, m_classicTitle, m_classicDescription);
    card.image = social[OgImage];
    m_preview->setContent(card);
    m_problem->setText(problemText());
}

void SocialCardsWindow::inputChanged()
{
    refresh();
    emit valuesChanged();
}

void SocialCardsWindow::showOver(QWidget *mainWindow)
{
    if (!isVisible())
        m_place->place(mainWindow);
    show();
    raise();
    activateWindow();
}

bool SocialCardsWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *keyEvent = static_cast<QKeyEvent *>(event);
        const int key = keyEvent->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        const bool help = key == Qt::Key_F1 && keyEvent->modifiers() == Qt::NoModifier;
        for (int f = 0; f < kSocialFieldCount && (enter || help); ++f) {
            if (watched != m_inputs[std::size_t(f)] && watched != lineEdit(f))
                continue;
            if (enter) // as in the main window: Enter moves on to the next input
                m_inputs[std::size_t((f + 1) % kSocialFieldCount)]->setFocus(Qt::TabFocusReason);
            else
                showHint(f);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace brindle::ui
