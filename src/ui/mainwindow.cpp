#include "ui/mainwindow.h"

#include "base/dialogs.h"
#include "base/textutil.h"
#include "buildinfo.h"
#include "tags/metataggenerator.h"
#include "ui/aboutbox.h"
#include "ui/headwindow.h"
#include "ui/hintpopup.h"
#include "ui/socialcards.h"
#include "ui/tagsviewer.h"
#include "widgets/accessibleinterfaces.h"
#include "widgets/edits.h"
#include "widgets/fonts.h"
#include "widgets/gradientpanel.h"
#include "widgets/imagebutton.h"
#include "widgets/statusbar.h"
#include "widgets/systemcolors.h"
#include "widgets/tagchecklist.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace brindle::ui {

using namespace brindle::tags;

namespace {

constexpr int kClientWidth = 680;
constexpr int kClientHeight = 485;

struct InputPlace
{
    int y;
    const char16_t *hintName;
    int hintX, hintY;
};

// By TagIndex: the input's y in the field panel and its hint button.
constexpr InputPlace kPlaces[kTagCount] = {
    {26, u"btHintTitle", 636, 24},  {74, u"btHintDes", 636, 73},     {98, u"btHintKeys", 636, 97},
    {122, u"btHintAuth", 636, 121}, {146, u"btHintCprg", 636, 144},  {170, u"btHintowner", 636, 169},
    {194, u"btHintDist", 335, 194}, {218, u"btHintRati", 335, 218},  {242, u"btHintRev", 335, 242},
    {266, u"btHintRob", 335, 266},  {313, u"btHintCache", 335, 313}, {338, u"btHintChars", 335, 339},
    {362, u"btHintLang", 335, 362},
};

// A text longer than its input's limit (one loaded from a profile) is shown
// whole: the limit then stands at the text's length, so the text cannot grow,
// and comes down with it as the user shortens it, to the input's own limit.
void fitLimitToText(QLineEdit *edit, int limit)
{
    const int wanted = std::max(limit, int(edit->text().size()));
    if (edit->maxLength() <= wanted)
        return;
    // Qt sets the text anew when the limit changes, which moves the caret to the end.
    const int cursor = edit->cursorPosition();
    edit->setMaxLength(wanted);
    edit->setCursorPosition(cursor);
}

} // namespace

Tovalinform::Tovalinform(QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint)
{
    widgets::installAccessibleInterfaces();
    setObjectName(u"ovalinform"_s);
    setWindowTitle(u"Ovalin Brindle"_s);
    setFont(widgets::uiFont());

    auto *client = new QWidget(this);
    client->setObjectName(u"client"_s);
    client->setFixedSize(kClientWidth, kClientHeight);
    QPalette pal = client->palette();
    pal.setColor(QPalette::Window, widgets::clBtnFace());
    client->setPalette(pal);
    client->setAutoFillBackground(true);
    setCentralWidget(client);

    buildToolBar(client);

    // Body: 7 px below the tool bar, 6 px side margins, a one-pixel flat frame.
    auto *body = new widgets::GradientPanel(client);
    body->setObjectName(u"pnbody"_s);
    body->setGeometry(6, 46, kClientWidth - 12, 413);
    body->setGradientColors(widgets::clWindow(), widgets::clWindow());
    body->setBorderSides(Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);
    buildFields(body);

    sabar = new widgets::StatusBar(client);
    sabar->setObjectName(u"sabar"_s);
    sabar->setGeometry(0, kClientHeight - 19, kClientWidth, 19);
    const int pane1 = sabar->addPane(273);
    const int pane2 = sabar->addPane(-1);
    sabar->setPaneFont(pane1, widgets::uiFont());
    sabar->setPaneColor(pane1, widgets::clBtnText());
    sabar->setPaneFont(pane2, widgets::arialFont());

    buildMenus();
    // The menu bar sits on top of the client area in Qt, so the window grows by its height.
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    // Opens at the top left corner until a saved placement says otherwise.
    move(0, 0);

    setAcceptDrops(true);
    m_workflow = std::make_unique<profile::ProfileWorkflow>(*this);
    m_workflow->ResetProfile();
    cbCharsetChange();
}

Tovalinform::~Tovalinform() = default;

void Tovalinform::buildToolBar(QWidget *client)
{
    pntulbar = new widgets::GradientPanel(client);
    pntulbar->setObjectName(u"pntulbar"_s);
    pntulbar->setGeometry(0, 0, kClientWidth, 39);
    pntulbar->setBorderSides(Qt::BottomEdge);

    struct ButtonDef
    {
        widgets::PictureButton button;
        void (Tovalinform::*action)();
    };
    const ButtonDef buttons[] = {
        {{u"btNew", {7, 4, 66, 35}, u"New", u"New Profile", u"new"}, &Tovalinform::btNewClick},
        {{u"btOpen", {87, 4, 74, 35}, u"Open", u"Open Profile", u"open"}, &Tovalinform::btOpenClick},
        {{u"btSave", {167, 4, 74, 35}, u"Save", u"Save Profile", u"save"}, &Tovalinform::btSaveClick},
        {{u"btCreHTML", {279, 4, 95, 35}, u"For HTML", u"Create Tags for HTML", u"html"}, nullptr},
        {{u"btCreXHTML", {388, 4, 95, 35}, u"For XHTML", u"Create Tags for XHTML", u"xhtml"}, nullptr},
        {{u"btAbot", {640, 3, 35, 34}, u"", u"HomePage", u"homepage"}, &Tovalinform::btAbotClick},
    };
    for (const ButtonDef &def : buttons) {
        auto *b = widgets::makeImageButton(pntulbar, def.button);
        b->setFocusPolicy(Qt::NoFocus);
        if (def.action) {
            const auto action = def.action;
            connect(b, &QAbstractButton::clicked, this,
                    [this, action] { guarded(this, [&] { (this->*action)(); }); });
        }
    }
    connect(pntulbar->findChild<QAbstractButton *>(u"btCreHTML"_s), &QAbstractButton::clicked, this,
            [this] { guarded(this, [&] { CreateTags(TagMode::Html); }); });
    connect(pntulbar->findChild<QAbstractButton *>(u"btCreXHTML"_s), &QAbstractButton::clicked, this,
            [this] { guarded(this, [&] { CreateTags(TagMode::Xhtml); }); });

    auto *separator = new QFrame(pntulbar);
    separator->setObjectName(u"toolBarSeparator"_s);
    separator->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    separator->setGeometry(264, 4, 2, 31);
}

void Tovalinform::buildFields(QWidget *body)
{
    pnfields = new widgets::GradientPanel(body);
    pnfields->setObjectName(u"pnfields"_s);
    pnfields->setColorStyle(widgets::GradientPanel::ColorStyle::Custom);
    pnfields->setGradientColors(widgets::clWindow(), widgets::clWindow());
    pnfields->setBorderSides({});
    pnfields->setGeometry(1, 1, 666, 411);

    taglis = new widgets::TOvCheckList(pnfields);
    taglis->setObjectName(u"taglis"_s);
    taglis->setAccessibleName(u"Tags"_s);
    taglis->setGeometry(13, 0, 124, 411);
    taglis->setItemHeight(24);
    QStringList rows;
    for (auto text : kRowTexts)
        rows << toQString(text);
    taglis->setRows(rows);
    QFont groupFont = widgets::uiFont(8, true);
    taglis->setGroupFont(groupFont);
    taglis->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(taglis, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { poptaglis->popup(taglis->mapToGlobal(pos)); });

    QWidget *previous = taglis;
    for (int t = 0; t < kTagCount; ++t) {
        const TagInfo &info = tagInfo(t);
        const InputPlace &place = kPlaces[t];
        QWidget *input = nullptr;
        if (info.kind == InputKind::Text) {
            auto *edit = new widgets::Edit(info.maxLength, pnfields);
            edit->setGeometry(143, place.y, 490, 19);
            edit->installEventFilter(this);
            if (info.maxLength != kNoLimit) {
                connect(edit, &QLineEdit::textEdited, this,
                        [edit, limit = info.maxLength] { fitLimitToText(edit, limit); });
            }
            input = edit;
        } else {
            auto *combo = new widgets::ComboBox(pnfields);
            combo->setGeometry(143, place.y, 186, 21);
            combo->setMaxLength(info.maxLength);
            combo->setInsertPolicy(QComboBox::NoInsert);
            QStringList items;
            items.reserve(qsizetype(info.items.size()));
            for (auto item : info.items)
                items << toQString(item);
            combo->addItems(items);
            combo->setCurrentIndex(info.defaultItem);
            combo->installEventFilter(this);
            if (combo->lineEdit()) {
                combo->lineEdit()->installEventFilter(this);
                combo->lineEdit()->setAccessibleName(toQString(info.rowText));
            }
            input = combo;
        }
        input->setObjectName(toQString(info.inputName));
        // The row beside an input is its label.
        input->setAccessibleName(toQString(info.rowText));
        setTabOrder(previous, input);
        previous = input;
        m_inputs[std::size_t(t)] = input;

        auto *hint = widgets::makeImageButton(
            pnfields, {place.hintName, {place.hintX, place.hintY, 20, 20}, u"", u"Show Hint", u"hint"});
        hint->setAccessibleName(u"Show Hint: "_s + toQString(info.rowText));
        hint->setFocusPolicy(Qt::NoFocus);
        const int row = info.listRow;
        connect(hint, &QAbstractButton::clicked, this,
                [this, row] { guarded(this, [&] { showHint(row); }); });
    }

    btDefCharset = widgets::makeImageButton(
        pnfields, {u"btDefCharset", {358, 339, 20, 20}, u"", u"Reset to Default", u"reset"});
    btDefCharset->setFocusPolicy(Qt::NoFocus);
    btDefCharset->hide();
    connect(btDefCharset, &QAbstractButton::clicked, this,
            [this] { guarded(this, [&] { btDefCharsetClick(); }); });

    lchars = new QLabel(pnfields);
    lchars->setObjectName(u"lchars"_s);
    lchars->move(384, 342);
    connect(choice(Charset), &QComboBox::currentIndexChanged, this, [this] { cbCharsetChange(); });
    // Typed text may leave no item selected without the index signal firing.
    connect(choice(Charset), &QComboBox::editTextChanged, this, [this] { cbCharsetChange(); });
}

void Tovalinform::buildMenus()
{
    auto add = [this](QMenu *menu, const QString &text, const QString &name, auto &&handler) {
        QAction *action = menu->addAction(text);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, [this, handler] { guarded(this, handler); });
        return action;
    };
    QMenu *file = menuBar()->addMenu(u"&File"_s);
    file->setObjectName(u"File1"_s);
    add(file, u"&New Profile"_s, u"NewProfile1"_s, [this] { btNewClick(); });
    add(file, u"&Open Profile"_s, u"OpenProfile1"_s, [this] { btOpenClick(); });
    add(file, u"&Import from Web Page..."_s, u"ImportfromWebPage1"_s, [this] { importFromWebPage(); });
    file->addSeparator();
    add(file, u"&Save Profile"_s, u"SaveProfile1"_s, [this] { btSaveClick(); });
    add(file, u"Save Profile &As"_s, u"SaveProfileAs1"_s, [this] { SaveProfileAs1Click(); });
    file->addSeparator();
    add(file, u"E&xit"_s, u"Exit1"_s, [this] { close(); });

    QMenu *edit = menuBar()->addMenu(u"&Edit"_s);
    edit->setObjectName(u"Edit1"_s);
    poptaglis = new QMenu(this);
    poptaglis->setObjectName(u"poptaglis"_s);
    for (auto [menu, suffix] : {std::pair{edit, u"1"}, std::pair{poptaglis, u"2"}}) {
        const QString n = QString::fromUtf16(suffix);
        add(menu, u"Select &All"_s, u"SelectAll"_s + n, [this] { SelectAll1Click(); });
        add(menu, u"&Deselect All"_s, u"DeselectAll"_s + n, [this] { DeselectAll1Click(); });
        menu->addSeparator();
        add(menu, u"Select &Basic Only"_s, u"SelectBasicOnly"_s + n, [this] { SelectBasicOnly1Click(); });
    }

    QMenu *tagsMenu = menuBar()->addMenu(u"&Tags"_s);
    tagsMenu->setObjectName(u"Tags1"_s);
    add(tagsMenu, u"Create for &HTML Documents"_s, u"CreateforHTMLDocuments1"_s,
        [this] { CreateTags(TagMode::Html); });
    tagsMenu->addSeparator();
    add(tagsMenu, u"Create for &XHTML Documents"_s, u"CreateforXHTMLDocuments1"_s,
        [this] { CreateTags(TagMode::Xhtml); });
    tagsMenu->addSeparator();
    add(tagsMenu, u"&Social Cards..."_s, u"SocialCards1"_s, [this] { showSocialCards(); });
    // "&H" is Create for HTML's already.
    add(tagsMenu, u"H&ead..."_s, u"Head1"_s, [this] { showHeadWindow(); });

    QMenu *info = menuBar()->addMenu(u"&Info"_s);
    info->setObjectName(u"Info1"_s);
    add(info, u"&About"_s, u"About1"_s, [this] { About1Click(); });
}

QComboBox *Tovalinform::choice(int tagIndex) const
{
    return static_cast<QComboBox *>(m_inputs[std::size_t(tagIndex)]);
}

int Tovalinform::tagOfWidget(const QObject *object) const
{
    for (int t = 0; t < kTagCount; ++t) {
        const QWidget *input = m_inputs[std::size_t(t)];
        if (object == input)
            return t;
        if (t >= kTextTagCount && object == choice(t)->lineEdit())
            return t;
    }
    return -1;
}

bool Tovalinform::eventFilter(QObject *watched, QEvent *event)
{
    const int t = tagOfWidget(watched);
    // A profile dropped on an input opens rather than landing in it as text.
    if (t >= 0 && takeProfileDrag(event))
        return true;
    if (t >= 0 && event->type() == QEvent::KeyPress) {
        const auto *keyEvent = static_cast<QKeyEvent *>(event);
        const int key = keyEvent->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Enter moves on to the next input and inserts nothing.
            m_inputs[std::size_t((t + 1) % kTagCount)]->setFocus(Qt::TabFocusReason);
            return true;
        }
        if (key == Qt::Key_F1 && keyEvent->modifiers() == Qt::NoModifier) {
            // The keyboard's way to the input's hint button.
            guarded(this, [&] { showHint(tagInfo(t).listRow); });
            return true;
        }
    } else if (t >= 0 && event->type() == QEvent::FocusIn) {
        taglis->setItemIndex(taglis->FindRowByText(toQString(tagInfo(t).rowText)));
    }
    return QMainWindow::eventFilter(watched, event);
}

void Tovalinform::cbCharsetChange()
{
    const int item = choice(Charset)->currentIndex();
    // For typed text, the code the tags will carry, or why they cannot be made.
    const CharsetChoice charset = charsetChoice(item, choice(Charset)->currentText());
    QPalette palette = lchars->parentWidget()->palette();
    if (charset.code.isEmpty()) {
        lchars->setText(charset.blank ? u"no charset"_s : u"unknown charset"_s);
        lchars->setToolTip(charset.refusal + u'.');
        palette.setColor(QPalette::WindowText, QColor(192, 0, 0));
    } else {
        lchars->setText(charset.code);
        const bool another =
            !charset.encoding.isEmpty() && charset.encoding.compare(charset.code, Qt::CaseInsensitive) != 0;
        lchars->setToolTip(another ? u"Browsers read %1 as %2."_s.arg(charset.code, charset.encoding)
                                   : QString());
    }
    lchars->setPalette(palette);
    lchars->adjustSize();
    btDefCharset->setVisible(item != kDefaultCharsetItem);
}

void Tovalinform::btDefCharsetClick()
{
    choice(Charset)->setCurrentIndex(kDefaultCharsetItem);
    cbCharsetChange();
}

TagValues Tovalinform::tagValues() const
{
    TagValues values;
    for (int t = 0; t < kTagCount; ++t)
        values.values[std::size_t(t)] = tagText(t);
    values.charsetItem = choice(Charset)->currentIndex();
    values.social = socialValues();
    values.head = headValues();
    return values;
}

void Tovalinform::CreateTags(TagMode mode)
{
    const TagValues values = tagValues();
    RowTicks ticks{};
    for (int row = 0; row < kRowCount; ++row)
        ticks[std::size_t(row)] = taglis->IsRowChecked(row);

    const GeneratedTags generated = generateTags(values, ticks, mode);
    m_pageMode = generated.pageMode;
    if (m_headWindow)
        m_headWindow->setPageMode(m_pageMode);
    for (int row : generated.rowsToUntick)
        taglis->SetRowChecked(row, false);
    m_viewer->clearLines();
    for (const QString &line : generated.lines)
        m_viewer->appendLine(line);
    m_viewer->setWindowTitle(generated.caption);
    m_viewer->setPageMode(generated.pageMode);
    m_viewer->setPageLanguage(generated.pageLanguage);
    if (generated.noticeDue) {
        dialogs().information(this, QString::fromUtf16(kNoticeCaption), QString::fromUtf16(kNoTagsNotice));
        return;
    }
    m_viewer->ColorizeTags();
    m_viewer->showModalOver(this);
}

void Tovalinform::btNewClick()
{
    m_workflow->btNewClick();
}

void Tovalinform::btOpenClick()
{
    m_workflow->btOpenClick();
}

void Tovalinform::importFromWebPage()
{
    m_workflow->importFromWebPage();
}

void Tovalinform::btSaveClick()
{
    m_workflow->btSaveClick();
}

void Tovalinform::SaveProfileAs1Click()
{
    m_workflow->SaveProfileAs1Click();
}

void Tovalinform::SelectAll1Click()
{
    taglis->CheckAllRows();
}

void Tovalinform::DeselectAll1Click()
{
    taglis->UncheckAllRows();
}

void Tovalinform::SelectBasicOnly1Click()
{
    taglis->UncheckAllRows();
    for (int row : BasicRows)
        taglis->SetRowChecked(row, true);
}

void Tovalinform::btAbotClick()
{
    // Like the shell's open verb: fire and forget, the result is not looked at.
    const QString address = QString::fromUtf8(BRINDLE_HOMEPAGE);
    if (!address.isEmpty())
        QDesktopServices::openUrl(QUrl(address));
}

void Tovalinform::About1Click()
{
    if (m_about)
        m_about->showOver(this);
}

void Tovalinform::showSocialCards()
{
    if (!m_socialCards) {
        m_socialCards = new SocialCardsWindow(this, m_hint);
        m_socialCards->setValues(m_social);
        connect(m_socialCards, &SocialCardsWindow::valuesChanged, this, &Tovalinform::socialValuesChanged);
        const auto classic = [this] {
            m_socialCards->setClassicValues(tagText(Title), tagText(Description));
        };
        classic();
        for (int t : {Title, Description})
            connect(static_cast<QLineEdit *>(m_inputs[std::size_t(t)]), &QLineEdit::textChanged, this,
                    classic);
    }
    m_socialCards->showOver(this);
}

void Tovalinform::showHeadWindow()
{
    if (!m_headWindow) {
        m_headWindow = new HeadWindow(this, m_hint);
        m_headWindow->setValues(m_head);
        m_headWindow->setPageMode(m_pageMode);
        connect(m_headWindow, &HeadWindow::valuesChanged, this, &Tovalinform::headValuesChanged);
        // The structured data takes its properties from the classic and
        // social values.
        const auto others = [this] { m_headWindow->setOtherValues(tagValues()); };
        others();
        for (int t = 0; t < kTextTagCount; ++t)
            connect(static_cast<QLineEdit *>(m_inputs[std::size_t(t)]), &QLineEdit::textChanged, this,
                    others);
        connect(this, &Tovalinform::socialValuesChanged, this, others);
    }
    m_headWindow->showOver(this);
}

void Tovalinform::showHint(int listRow)
{
    if (m_hint)
        m_hint->showHint(listRow, this);
}

QString Tovalinform::statusText() const
{
    return sabar->paneText(0);
}

QString Tovalinform::tagText(int tagIndex) const
{
    if (tagIndex >= kTextTagCount)
        return choice(tagIndex)->currentText();
    return static_cast<QLineEdit *>(m_inputs[std::size_t(tagIndex)])->text();
}

void Tovalinform::setTagText(int tagIndex, const QString &text)
{
    auto *edit = static_cast<QLineEdit *>(m_inputs[std::size_t(tagIndex)]);
    const int limit = tagInfo(tagIndex).maxLength;
    // Qt cuts a text to the limit, so a longer one raises the limit to its own
    // length (see fitLimitToText).
    if (limit != kNoLimit)
        edit->setMaxLength(std::max(limit, int(text.size())));
    edit->setText(text);
}

int Tovalinform::choiceItem(int tagIndex) const
{
    return choice(tagIndex)->currentIndex();
}

void Tovalinform::setChoiceItem(int tagIndex, int item)
{
    QComboBox *combo = choice(tagIndex);
    if (item >= 0 && item < combo->count()) {
        combo->setCurrentIndex(item);
    } else {
        const QString kept = item == -1 ? QString() : combo->currentText();
        combo->setCurrentIndex(-1);
        combo->setEditText(kept);
    }
    if (tagIndex == Charset)
        cbCharsetChange();
}

void Tovalinform::setChoiceText(int tagIndex, const QString &text)
{
    QComboBox *combo = choice(tagIndex);
    combo->setEditText(text); // the item stays, as when typing
    if (tagIndex == Charset)
        cbCharsetChange();
}

bool Tovalinform::isRowChecked(int listRow) const
{
    return taglis->IsRowChecked(listRow);
}

void Tovalinform::setRowChecked(int listRow, bool checked)
{
    taglis->SetRowChecked(listRow, checked);
}

void Tovalinform::uncheckAllRows()
{
    taglis->UncheckAllRows();
}

SocialValues Tovalinform::socialValues() const
{
    return m_socialCards ? m_socialCards->values() : m_social;
}

void Tovalinform::setSocialValues(const SocialValues &social)
{
    m_social = social;
    if (m_socialCards)
        m_socialCards->setValues(social); // which tells of the change itself
    else
        emit socialValuesChanged();
}

HeadValues Tovalinform::headValues() const
{
    return m_headWindow ? m_headWindow->values() : m_head;
}

void Tovalinform::setHeadValues(const HeadValues &head)
{
    m_head = head;
    if (m_headWindow)
        m_headWindow->setValues(head); // which tells of the change itself
    else
        emit headValuesChanged();
}

void Tovalinform::setProfileStatus(const QString &text)
{
    sabar->setPaneText(0, text);
}

void Tovalinform::openProfile(const QString &path)
{
    guarded(this, [&] { m_workflow->openGivenFile(path); });
}

bool Tovalinform::takeProfileDrag(QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (profile::droppedProfilePath(drag->mimeData()->urls()).isEmpty())
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QString path = profile::droppedProfilePath(drop->mimeData()->urls());
        if (path.isEmpty())
            return false;
        drop->acceptProposedAction();
        emit profileDropped(path);
        return true;
    }
    default:
        return false;
    }
}

void Tovalinform::dragEnterEvent(QDragEnterEvent *event)
{
    if (!takeProfileDrag(event))
        event->ignore();
}

void Tovalinform::dragMoveEvent(QDragMoveEvent *event)
{
    if (!takeProfileDrag(event))
        event->ignore();
}

void Tovalinform::dropEvent(QDropEvent *event)
{
    if (!takeProfileDrag(event))
        event->ignore();
}

void Tovalinform::closeEvent(QCloseEvent *event)
{
    bool mayClose = false;
    guarded(this, [&] { mayClose = m_workflow->FormClose(); });
    if (mayClose)
        event->accept();
    else
        event->ignore();
}

} // namespace brindle::ui
