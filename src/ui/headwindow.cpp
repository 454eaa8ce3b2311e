#include "ui/headwindow.h"

#include "base/error.h"
#include "base/textutil.h"
#include "render/colorize.h"
#include "ui/hintpopup.h"
#include "ui/rtftextdocument.h"
#include "ui/secondarywindow.h"
#include "widgets/checkededit.h"
#include "widgets/checkedtextedit.h"
#include "widgets/edits.h"
#include "widgets/fonts.h"
#include "widgets/gradientpanel.h"
#include "widgets/imagebutton.h"
#include "widgets/systemcolors.h"

#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextEdit>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace brindle::ui {

using namespace brindle::tags;

namespace {

constexpr int kHeadWindowWidth = 820;
constexpr int kHeadWindowHeight = 480;
constexpr int kHeadPanelWidth = 412;
constexpr int kHeadPanelHeight = 336;
constexpr int kHeadFirstRow = 10;
constexpr int kHeadRowStep = 26;
constexpr int kHeadLabelX = 30;
constexpr int kHeadInputX = 134;
constexpr int kHeadInputWidth = 244;
// The alternates take three rows: a few languages show without scrolling.
constexpr int kAlternatesRows = 3;
constexpr int kHeadMaxLength = 2048;
constexpr int kHeadPreviewX = kHeadPanelWidth + 16;
constexpr int kHeadPreviewWidth = kHeadWindowWidth - kHeadPreviewX - 6;

struct HeadFieldUi
{
    const char16_t *inputName; // its kind prefix dropped, it also names the label, tick and hint button
    const char16_t *label;     // with the access key
    const char16_t *hint;
};

constexpr HeadFieldUi kHeadFieldUi[kHeadFieldCount] = {
    {u"eViewport", u"&Viewport",
     u"How a phone lays the page out. Left empty, the line carries width=device-width, initial-scale=1, "
     u"which suits a page made for screens of every width."},
    {u"eCanonical", u"Ca&nonical address",
     u"The page's one address, absolute (https://...). Search engines count the page found under other "
     u"addresses (with tracking parameters, say) for this one."},
    {u"eAlternates", u"&Alternates",
     u"The page in other languages, one a line as language=address: de=https://www.example.org/de/. "
     u"x-default names the page for every other language. The page itself belongs in the list too, "
     u"under its own language."},
    {u"eThemeColor", u"&Theme colour",
     u"The colour a phone's browser gives its address bar: #336699, #369 or a colour name such as teal."},
    {u"eIcon", u"&Icon",
     u"The site's icon that browser tabs and bookmarks show: an address, or a path as the site serves it "
     u"(/favicon.png)."},
    {u"eLanguage", u"&Language",
     u"The language of the page's text as a language tag: en, en-GB, de-CH. It gives no line of its own: "
     u"Create HTML Page writes it into the page's <html> start tag. The Content-Language tag stays as it "
     u"is."},
    {u"cbStructuredData", u"&Structured data",
     u"A script that tells search engines what the page is: WebSite for a site's home page, Organization "
     u"for a business or a club, Article for a news or blog post. Its name, address, headline, "
     u"description, picture and author come from the values of the main window and of Social Cards."},
    {u"ePublished", u"Date &published",
     u"When an Article was first published: a date (2026-12-10) or a date and time "
     u"(2026-12-10T09:30:00+01:00). Part of the structured data."},
    {u"eModified", u"Date &modified",
     u"When an Article was last changed, written as the date published is. Part of the structured data."},
    {u"eLogo", u"L&ogo",
     u"The address of the organisation's logo, absolute (https://...). Part of the structured data."},
};

const QColor kRefusedColour(192, 0, 0);

QString nameOf(int field)
{
    QString name = QString::fromUtf16(kHeadFieldUi[field].inputName);
    while (!name.isEmpty() && name.front().isLower())
        name.remove(0, 1);
    return name;
}

QString labelOf(int field)
{
    return QString::fromUtf16(kHeadFieldUi[field].label).remove(u'&');
}

const QRegularExpression &blanks()
{
    static const QRegularExpression re(u"\\s+"_s);
    return re;
}

// The alternates as the input shows them: one a line.
QString oneALine(const QString &alternates)
{
    return alternates.split(blanks(), Qt::SkipEmptyParts).join(u'\n');
}

// A colour as CSS reads it. Qt reads eight hex digits as #AARRGGBB and
// knows no four-digit form, where CSS has the alpha last.
QColor cssColour(const QString &text)
{
    if (!text.startsWith(u'#'))
        return QColor::fromString(text.toLower());
    QString digits = text.mid(1);
    if (digits.size() == 3 || digits.size() == 4) {
        QString doubled;
        for (QChar c : digits)
            doubled += QString(2, c);
        digits = doubled;
    }
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok || (digits.size() != 6 && digits.size() != 8))
        return {};
    if (digits.size() == 6)
        return QColor::fromRgb(QRgb(value));
    return QColor(int(value >> 24), int((value >> 16) & 0xff), int((value >> 8) & 0xff), int(value & 0xff));
}

int rowOf(int field)
{
    return field > Alternates ? field + kAlternatesRows - 1 : field;
}

} // namespace

HeadWindow::HeadWindow(QWidget *mainWindow, Thintf *hint)
    : QDialog(mainWindow,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_hint(hint)
{
    setObjectName(u"fhead"_s);
    setWindowTitle(u"Head"_s);
    setFont(widgets::uiFont());
    setFixedSize(kHeadWindowWidth, kHeadWindowHeight);
    setAutoFillBackground(true);
    m_place = new SecondaryWindow(this);

    auto *fields = new widgets::GradientPanel(this);
    fields->setObjectName(u"pnfields"_s);
    fields->setColorStyle(widgets::GradientPanel::ColorStyle::Custom);
    fields->setGradientColors(widgets::clWindow(), widgets::clWindow());
    fields->setBorderSides(Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);
    fields->setGeometry(6, 6, kHeadPanelWidth, kHeadPanelHeight);

    QWidget *previous = nullptr;
    const auto chain = [&](QWidget *next) {
        if (previous)
            setTabOrder(previous, next);
        previous = next;
    };
    for (int f = 0; f < kHeadFieldCount; ++f) {
        const int y = kHeadFirstRow + rowOf(f) * kHeadRowStep;
        const QString name = nameOf(f);

        if (headFieldInfo(f).tickable) {
            auto *tick = new QCheckBox(fields);
            tick->setObjectName(u"ch"_s + name);
            tick->setGeometry(10, y + 1, 17, 17);
            tick->setAccessibleName(u"Use "_s + labelOf(f));
            tick->setToolTip(f == Language ? u"Use the language in the page's <html> start tag"_s
                                           : u"Use the %1 line"_s.arg(labelOf(f).toLower()));
            connect(tick, &QCheckBox::toggled, this, &HeadWindow::inputChanged);
            chain(tick);
            m_ticks[std::size_t(f)] = tick;
        }

        auto *label = new QLabel(QString::fromUtf16(kHeadFieldUi[f].label), fields);
        label->setObjectName(u"lb"_s + name);
        label->setGeometry(kHeadLabelX, y + 2, kHeadInputX - kHeadLabelX - 4, 17);
        m_labels[std::size_t(f)] = label;

        QWidget *input = nullptr;
        if (f == Alternates) {
            auto *edit = new widgets::CheckedTextEdit(fields);
            edit->setGeometry(kHeadInputX, y, kHeadInputWidth, 19 + (kAlternatesRows - 1) * kHeadRowStep);
            edit->setPlaceholderText(u"de=https://www.example.org/de/"_s);
            edit->setLineWrapMode(QPlainTextEdit::NoWrap);
            connect(edit, &QPlainTextEdit::textChanged, this, &HeadWindow::inputChanged);
            input = edit;
        } else if (f == StructuredData) {
            // A value refused in the drop-down's edit is told as in the others.
            auto *combo = new widgets::ComboBox(fields, new widgets::CheckedEdit(kHeadMaxLength));
            combo->setGeometry(kHeadInputX, y - 1, 186, 21);
            combo->setMaxLength(kHeadMaxLength);
            combo->addItems({u"WebSite"_s, u"Organization"_s, u"Article"_s});
            combo->setCurrentIndex(-1);
            combo->lineEdit()->setAccessibleName(labelOf(f));
            combo->lineEdit()->installEventFilter(this);
            connect(combo, &QComboBox::editTextChanged, this, &HeadWindow::inputChanged);
            input = combo;
        } else {
            auto *edit = new widgets::CheckedEdit(kHeadMaxLength, fields);
            edit->setGeometry(kHeadInputX, y, kHeadInputWidth - (f == ThemeColor ? 25 : 0), 19);
            if (f == Viewport)
                edit->setPlaceholderText(QString::fromUtf16(kDefaultViewport));
            connect(edit, &QLineEdit::textChanged, this, &HeadWindow::inputChanged);
            input = edit;
        }
        input->setObjectName(QString::fromUtf16(kHeadFieldUi[f].inputName));
        input->setAccessibleName(labelOf(f));
        input->installEventFilter(this);
        label->setBuddy(input);
        chain(input);
        m_inputs[std::size_t(f)] = input;

        if (f == ThemeColor) {
            // The colour itself, beside its name.
            m_swatch = new QFrame(fields);
            m_swatch->setObjectName(u"swatch"_s);
            m_swatch->setFrameStyle(QFrame::Box | QFrame::Plain);
            m_swatch->setGeometry(kHeadInputX + kHeadInputWidth - 19, y, 19, 19);
            m_swatch->setAutoFillBackground(true);
        }

        auto *button = new widgets::ImageButton(fields);
        button->setObjectName(u"btHint"_s + name);
        button->setGeometry(kHeadInputX + kHeadInputWidth + 6, y - 1, 20, 20);
        button->setToolTip(u"Show Hint"_s);
        button->setAccessibleName(u"Show Hint: "_s + labelOf(f));
        button->setFocusPolicy(Qt::NoFocus);
        button->setImages(u":/images/hint.png"_s, u":/images/hint-hover.png"_s);
        connect(button, &QAbstractButton::clicked, this, [this, f] { showHint(f); });
    }

    m_previewCaption = new QLabel(this);
    m_previewCaption->setObjectName(u"lbpreview"_s);
    m_previewCaption->setGeometry(kHeadPreviewX, 8, kHeadPreviewWidth, 17);
    m_preview = new QTextEdit(this);
    m_preview->setObjectName(u"headpreview"_s);
    m_preview->setAccessibleName(u"Lines"_s);
    m_preview->setReadOnly(true);
    m_preview->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_preview->setPlaceholderText(u"No line yet: tick a field that has a value."_s);
    m_preview->setGeometry(kHeadPreviewX, 28, kHeadPreviewWidth, 260);
    m_previewCaption->setBuddy(m_preview);
    chain(m_preview);
    m_languageNote = new QLabel(this);
    m_languageNote->setObjectName(u"lblanguage"_s);
    m_languageNote->setWordWrap(true);
    m_languageNote->setTextFormat(Qt::PlainText);
    m_languageNote->setGeometry(kHeadPreviewX, 294, kHeadPreviewWidth, 48);

    m_problem = new widgets::AlertLabel(this);
    m_problem->setObjectName(u"lbproblem"_s);
    m_problem->setWordWrap(true);
    m_problem->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_problem->setGeometry(6, kHeadPanelHeight + 12, kHeadWindowWidth - 100,
                           kHeadWindowHeight - kHeadPanelHeight - 18);
    QPalette red = m_problem->palette();
    red.setColor(QPalette::WindowText, kRefusedColour);
    m_problem->setPalette(red);

    auto *btClose = new QPushButton(u"&Close"_s, this);
    btClose->setObjectName(u"btClose"_s);
    btClose->setGeometry(kHeadWindowWidth - 81, kHeadWindowHeight - 31, 75, 25);
    btClose->setAutoDefault(false);
    connect(btClose, &QPushButton::clicked, this, &QDialog::close);
    chain(btClose);

    refresh();
}

QString HeadWindow::hintCaption(int field)
{
    return labelOf(field);
}

QString HeadWindow::hintText(int field)
{
    return QString::fromUtf16(kHeadFieldUi[field].hint);
}

void HeadWindow::showHint(int field)
{
    if (m_hint)
        m_hint->showText(hintCaption(field), hintText(field), this);
}

QComboBox *HeadWindow::typeChoice() const
{
    return static_cast<QComboBox *>(m_inputs[std::size_t(StructuredData)]);
}

widgets::CheckedTextEdit *HeadWindow::alternatesInput() const
{
    return static_cast<widgets::CheckedTextEdit *>(m_inputs[std::size_t(Alternates)]);
}

QString HeadWindow::inputText(int field) const
{
    if (field == Alternates)
        return alternatesInput()->toPlainText();
    if (field == StructuredData)
        return typeChoice()->currentText();
    return static_cast<QLineEdit *>(m_inputs[std::size_t(field)])->text();
}

void HeadWindow::setInputText(int field, const QString &text)
{
    if (field == Alternates) {
        alternatesInput()->setPlainText(text);
    } else if (field == StructuredData) {
        QComboBox *combo = typeChoice();
        combo->setCurrentIndex(combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
        combo->setEditText(text);
    } else {
        static_cast<QLineEdit *>(m_inputs[std::size_t(field)])->setText(text);
    }
}

HeadValues HeadWindow::values() const
{
    HeadValues head;
    for (int f = 0; f < kHeadFieldCount; ++f) {
        head[f] = inputText(f);
        head.used[std::size_t(f)] = m_ticks[std::size_t(f)] && m_ticks[std::size_t(f)]->isChecked();
    }
    // One a line on screen, separated by blanks in the value: a profile keeps
    // it in an attribute, where a line break would not survive reading back.
    // Untouched, they stay exactly as they were set, so that showing them is
    // no change.
    const QString typed = head[Alternates];
    head[Alternates] = typed == oneALine(m_alternatesSet)
                           ? m_alternatesSet
                           : typed.split(blanks(), Qt::SkipEmptyParts).join(u' ');
    return head;
}

void HeadWindow::setValues(const HeadValues &head)
{
    // One change told, once the inputs are all set.
    m_setting = true;
    m_alternatesSet = head[Alternates];
    for (int f = 0; f < kHeadFieldCount; ++f) {
        setInputText(f, f == Alternates ? oneALine(head[f]) : head[f]);
        if (QCheckBox *tick = m_ticks[std::size_t(f)])
            tick->setChecked(head.isUsed(f));
    }
    m_setting = false;
    inputChanged();
}

void HeadWindow::setOtherValues(const TagValues &values)
{
    m_other = values;
    refresh();
}

void HeadWindow::setPageMode(int pageMode)
{
    m_pageMode = pageMode;
    refresh();
}

QString HeadWindow::problemText() const
{
    return m_problem->text();
}

QString HeadWindow::previewText() const
{
    return m_previewLines;
}

QColor HeadWindow::shownThemeColour() const
{
    return !m_swatch->isHidden() ? m_swatch->palette().color(QPalette::Window) : QColor();
}

void HeadWindow::inputChanged()
{
    if (m_setting)
        return;
    refresh();
    emit valuesChanged();
}

void HeadWindow::refresh()
{
    const HeadValues head = values();
    TagValues shown = m_other;
    shown.head = head;

    // Every refused value at once, each input marked; the preview shows
    // the lines of the others.
    QList<int> refused;
    for (int f = 0; f < kHeadFieldCount; ++f) {
        const QString problem = headValueProblem(f, head[f]);
        QWidget *input = m_inputs[std::size_t(f)];
        if (auto *edit = qobject_cast<widgets::CheckedEdit *>(input)) {
            edit->setProblem(problem);
        } else if (auto *text = qobject_cast<widgets::CheckedTextEdit *>(input)) {
            text->setProblem(problem);
        } else if (auto *combo = qobject_cast<QComboBox *>(input)) {
            static_cast<widgets::CheckedEdit *>(combo->lineEdit())->setProblem(problem);
            combo->setAccessibleDescription(problem);
        }
        QPalette p = m_labels[std::size_t(f)]->palette();
        p.setColor(QPalette::WindowText,
                   problem.isEmpty() ? palette().color(QPalette::WindowText) : kRefusedColour);
        m_labels[std::size_t(f)]->setPalette(p);
        if (!problem.isEmpty()) {
            refused << f;
            shown.head.used[std::size_t(f)] = false;
        }
    }
    QStringList problems = headValueProblems(head);

    const TagMode mode = m_pageMode == 2 ? TagMode::Xhtml : TagMode::Html;
    m_previewCaption->setText(u"Lin&es for %1, after the other tags' lines:"_s.arg(modeName(mode)));
    QStringList lines;
    try {
        lines = headLines(shown, mode);
    } catch (const Error &e) {
        // The structured data also refuses what it borrows, a Social Cards
        // value among them: the other lines show all the same, and why the
        // script is missing is said with the rest.
        if (!problems.contains(e.message()))
            problems << e.message();
        if (!refused.contains(StructuredData))
            refused << StructuredData;
        shown.head.used[std::size_t(StructuredData)] = false;
        try {
            lines = headLines(shown, mode);
        } catch (const Error &) {
            lines.clear();
        }
    }
    // Spoken when a value is newly refused, not at every key typed into one.
    const bool fresh =
        std::any_of(refused.begin(), refused.end(), [this](int f) { return !m_refused.contains(f); });
    m_refused = refused;
    m_problem->setMessages(problems, fresh);
    const QString text = joinLines(lines);
    if (text != m_previewLines || m_preview->document()->isEmpty() != text.isEmpty()) {
        m_previewLines = text;
        if (text.isEmpty())
            m_preview->clear();
        else
            loadRtf(*m_preview->document(), render::colorizeHtml(text.toUtf8()));
    }

    const QColor colour =
        headValueProblem(ThemeColor, head[ThemeColor]).isEmpty() ? cssColour(head[ThemeColor]) : QColor();
    m_swatch->setVisible(colour.isValid());
    QPalette swatch = m_swatch->palette();
    swatch.setColor(QPalette::Window, colour);
    m_swatch->setPalette(swatch);

    const bool language = shown.head.isUsed(Language) && !head[Language].isEmpty();
    m_languageNote->setText(
        language ? u"Create HTML Page writes the language, %1, into the page's <html> start tag."_s.arg(
                       head[Language])
                 : QString());
}

void HeadWindow::showOver(QWidget *mainWindow)
{
    if (!isVisible())
        m_place->place(mainWindow);
    show();
    raise();
    activateWindow();
}

int HeadWindow::fieldOf(const QObject *object) const
{
    for (int f = 0; f < kHeadFieldCount; ++f) {
        if (object == m_inputs[std::size_t(f)] || (f == StructuredData && object == typeChoice()->lineEdit()))
            return f;
    }
    return -1;
}

bool HeadWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *keyEvent = static_cast<QKeyEvent *>(event);
        const int key = keyEvent->key();
        const int f = fieldOf(watched);
        // Enter moves on to the next input, as in the main window; in the
        // alternates it starts the next line.
        if (f >= 0 && f != Alternates && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            m_inputs[std::size_t((f + 1) % kHeadFieldCount)]->setFocus(Qt::TabFocusReason);
            return true;
        }
        if (f >= 0 && key == Qt::Key_F1 && keyEvent->modifiers() == Qt::NoModifier) {
            showHint(f);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace brindle::ui
