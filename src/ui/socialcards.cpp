#include "ui/socialcards.h"

#include "base/dialogs.h"
#include "base/textutil.h"
#include "ui/cardpreview.h"
#include "ui/hintpopup.h"
#include "ui/secondarywindow.h"
#include "widgets/accessibleinterfaces.h"
#include "widgets/checkededit.h"
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

#include <algorithm>

using namespace Qt::StringLiterals;

namespace brindle::ui {

using namespace brindle::tags;

namespace {

constexpr int kWindowWidth = 772;
constexpr int kWindowHeight = 440;
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
    {u"eOgImage", u"The address the card's picture has on the web, absolute (https://...); 1200 x 630 "
                  u"pixels suit the large card. The preview shows a remote picture only as its address, "
                  u"since nothing is fetched: for the preview, a local file goes in \"Picture for the "
                  u"preview\" while the page is made."},
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

// Why a value is refused, and for a local picture in og:image where it goes instead.
QStringList problemsOf(const SocialValues &social)
{
    QStringList problems;
    for (int f = 0; f < kSocialFieldCount; ++f) {
        if (QString problem = socialValueProblem(f, social[f]); !problem.isEmpty())
            problems << problem;
    }
    if (!socialValueProblem(OgImage, social[OgImage]).isEmpty() &&
        !CardPreview::localImagePath(social[OgImage]).isEmpty())
        problems << u"og:image: the tags need the address the picture will have on the web; a local file for "
                    u"the preview goes in \"Picture for the preview\"."_s;
    return problems;
}

const QColor kProblemColour(192, 0, 0);

} // namespace

SocialCardsWindow::SocialCardsWindow(QWidget *mainWindow, Thintf *hint)
    : QDialog(mainWindow,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_hint(hint)
{
    widgets::installAccessibleInterfaces();
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
        m_labels[std::size_t(f)] = label;

        QWidget *input = nullptr;
        if (info.items.empty()) {
            // A value that may be refused says so to assistive technology too.
            auto *edit = info.check == SocialCheck::None ? new widgets::Edit(kMaxLength, m_fields)
                                                         : new widgets::CheckedEdit(kMaxLength, m_fields);
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

    m_previewNote = new QLabel(this);
    m_previewNote->setObjectName(u"lbpreview"_s);
    m_previewNote->setWordWrap(true);

    // A local picture for the preview only: og:image holds the address the
    // picture will have on the web, which the tags need.
    m_pictureLabel = new QLabel(u"&Picture for the preview:"_s, this);
    m_pictureLabel->setObjectName(u"lbPreviewPicture"_s);
    m_picture = new widgets::Edit(kMaxLength, this);
    m_picture->setObjectName(u"ePreviewPicture"_s);
    m_picture->setAccessibleName(u"Picture for the preview"_s);
    m_picture->setToolTip(u"A picture file on this computer, shown in the card instead of og:image; "
                          u"not written anywhere"_s);
    m_pictureLabel->setBuddy(m_picture);
    connect(m_picture, &QLineEdit::textChanged, this, &SocialCardsWindow::refresh);
    auto *browse = new QPushButton(u"..."_s, this);
    browse->setObjectName(u"btPreviewPicture"_s);
    browse->setAccessibleName(u"Choose the picture for the preview"_s);
    browse->setToolTip(browse->accessibleName());
    browse->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, [this] { guarded(this, [this] { choosePicture(); }); });
    m_browse = browse;
    setTabOrder(previous, m_picture);
    setTabOrder(m_picture, browse);
    previous = browse;

    m_problem = new widgets::AlertLabel(this);
    m_problem->setObjectName(u"lbproblem"_s);
    m_problem->setWordWrap(true);
    m_problem->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_problem->setGeometry(6, 376, kWindowWidth - 100, kWindowHeight - 382);
    QPalette red = m_problem->palette();
    red.setColor(QPalette::WindowText, kProblemColour);
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
    // Another profile: the picture for the preview was the last one's.
    m_picture->clear();
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
    return problemsOf(values()).join(u'\n');
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
    card.image = m_picture->text().trimmed().isEmpty() ? social[OgImage] : m_picture->text().trimmed();
    // Twitter's summary card; any other kind, or none, has the large picture.
    card.smallPicture = social[TwitterCard].trimmed() == u"summary"_s;
    m_preview->setContent(card);
    layoutPreview();

    // Every refused value at once, each input marked.
    QList<int> refused;
    for (int f = 0; f < kSocialFieldCount; ++f) {
        const QString problem = socialValueProblem(f, social[f]);
        if (auto *checked = qobject_cast<widgets::CheckedEdit *>(m_inputs[std::size_t(f)]))
            checked->setProblem(problem);
        QPalette p = m_labels[std::size_t(f)]->palette();
        p.setColor(QPalette::WindowText,
                   problem.isEmpty() ? palette().color(QPalette::WindowText) : kProblemColour);
        m_labels[std::size_t(f)]->setPalette(p);
        if (!problem.isEmpty())
            refused << f;
    }
    // Spoken when a value is newly refused, not at every key typed into one.
    const bool fresh =
        std::any_of(refused.begin(), refused.end(), [this](int f) { return !m_refused.contains(f); });
    m_refused = refused;
    m_problem->setMessages(problemsOf(social), fresh);
}

void SocialCardsWindow::layoutPreview()
{
    const int x = kPanelWidth + 16;
    const int width = CardPreview::kCardWidth;
    m_preview->move(x, 6);
    m_previewNote->setText(
        m_preview->content().smallPicture
            ? u"The card a shared link shows with twitter:card summary: a small square picture "
              u"beside the text. A remote picture shows as its address; nothing is fetched."_s
            : u"The card a shared link shows with the large picture above the text. A remote "
              u"picture shows as its address; nothing is fetched."_s);
    m_previewNote->setGeometry(x, m_preview->geometry().bottom() + 7, width,
                               m_previewNote->heightForWidth(width));
    const int y = m_previewNote->geometry().bottom() + 5;
    m_pictureLabel->setGeometry(x, y + 2, 124, 17);
    m_picture->setGeometry(x + 126, y, width - 126 - 30, 19);
    m_browse->setGeometry(x + width - 26, y - 1, 26, 21);
}

void SocialCardsWindow::choosePicture()
{
    FileDialogOptions options{u"Picture for the Preview"_s, u"Pictures"_s,
                              u"*.png *.jpg *.jpeg *.gif *.webp *.bmp"_s, QString(), false};
    if (const std::optional<QString> file =
            dialogs().openFileName(this, options, m_picture->text().trimmed()))
        m_picture->setText(*file);
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
