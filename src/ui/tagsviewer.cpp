#include "ui/tagsviewer.h"

#include "base/error.h"
#include "base/filewriter.h"
#include "render/colorize.h"
#include "render/htmlrtf.h"
#include "render/webpage.h"
#include "tags/metataggenerator.h"
#include "ui/rtftextdocument.h"
#include "ui/secondarywindow.h"
#include "widgets/fonts.h"
#include "widgets/gradientpanel.h"
#include "widgets/imagebutton.h"
#include "widgets/systemcolors.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>

#include <map>

using namespace Qt::StringLiterals;

namespace brindle::ui {

namespace {

constexpr int kViewerWidth = 664;
constexpr int kViewerHeight = 390;

// The rich form of a selection, made by the converter that coloured it: its
// prolog with a table of the colours the selected characters carry, and the
// text escaped as it escapes tokens.
QByteArray selectionRtf(const QTextDocument &doc, int from, int to)
{
    std::map<QRgb, int> colourIndex;
    QByteArray body;
    for (QTextBlock block = doc.findBlock(from); block.isValid() && block.position() < to;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const int start = std::max(from, frag.position());
            const int end = std::min(to, frag.position() + frag.length());
            if (start >= end)
                continue;
            const QRgb rgb = frag.charFormat().foreground().color().rgb() & 0xFFFFFF;
            const auto [pos, inserted] = colourIndex.try_emplace(rgb, int(colourIndex.size()) + 1);
            body += "\\cf" + QByteArray::number(pos->second) + ' ';
            body += render::TsyxHTMLRTF::escapedText(
                frag.text().mid(start - frag.position(), end - start).toUtf8());
        }
        const int lineEnd = block.position() + block.length() - 1;
        if (lineEnd >= from && lineEnd < to && block.next().isValid())
            body += "\\par\r\n";
    }
    std::vector<render::RtfColor> colours(colourIndex.size());
    for (const auto &[rgb, index] : colourIndex)
        colours[std::size_t(index - 1)] = render::RtfColor(qRed(rgb)) | render::RtfColor(qGreen(rgb)) << 8 |
                                          render::RtfColor(qBlue(rgb)) << 16;
    render::TsyxRTFSyntax converter;
    converter.SetupColors(colours);
    QByteArray rtf;
    render::RtfStream stream(rtf);
    converter.writeProlog(stream);
    stream.write(body);
    stream.write(QByteArrayView(" }", 2));
    stream.finish();
    return rtf;
}

// The plain text, as the viewer's text holds it (CR LF line ends), and the
// rich form under the names office suites (the first two) and other programs
// (the last) read.
QMimeData *selectionMimeData(const QTextEdit &area, const QString &source)
{
    const QTextCursor cursor = area.textCursor();
    auto *mime = new QMimeData;
    mime->setText(sourceText(*area.document(), cursor.selectionStart(), cursor.selectionEnd(), source));
    const QByteArray rtf = selectionRtf(*area.document(), cursor.selectionStart(), cursor.selectionEnd());
    for (const QString &type : {u"text/rtf"_s, u"text/richtext"_s, u"application/rtf"_s})
        mime->setData(type, rtf);
    return mime;
}

// Every way of copying out of the text area (the copy keys, the X11
// selection, dragging) gives what the Copy buttons give, not Qt's forms.
class ViewerTextEdit final : public QTextEdit
{
public:
    explicit ViewerTextEdit(Tfview *viewer) : QTextEdit(viewer), m_viewer(viewer) {}

    QMimeData *selectionData() const { return selectionMimeData(*this, m_viewer->text()); }

protected:
    QMimeData *createMimeDataFromSelection() const override { return selectionData(); }

    void keyPressEvent(QKeyEvent *event) override
    {
        // Shift+F10 opens the popup menu, as the Menu key does, at the caret.
        if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
            emit customContextMenuRequested(cursorRect().center());
            return;
        }
        QTextEdit::keyPressEvent(event);
    }

private:
    const Tfview *m_viewer;
};

} // namespace

Tfview::Tfview(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      sadi({u"Save Meta Tags as Text File"_s, u"Text File"_s, u"*.txt"_s, u"txt"_s, true})
{
    setObjectName(u"fview"_s);
    setWindowTitle(u"Tags Viewer"_s);
    setFont(widgets::uiFont());
    setFixedSize(kViewerWidth, kViewerHeight);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, widgets::clBtnFace());
    setPalette(pal);
    setAutoFillBackground(true);
    // Modal to the main window only: the windows opened from its popup menu
    // beside the main window stay usable, and in front of it.
    setWindowModality(Qt::WindowModal);
    m_place = new SecondaryWindow(this);

    pntulbar = new widgets::GradientPanel(this);
    pntulbar->setObjectName(u"pntulbar"_s);
    pntulbar->setGeometry(0, 0, kViewerWidth, 39);
    pntulbar->setBorderSides(Qt::BottomEdge);

    struct ButtonDef
    {
        widgets::ImageButton **button;
        widgets::PictureButton look;
        void (Tfview::*action)();
    };
    const ButtonDef buttons[] = {
        {&btCopy,
         {u"btCopy", {6, 4, 67, 35}, u"Copy", u"Copy to Clipboard", u"copy"},
         &Tfview::CopyAll1Click},
        {&btTxt,
         {u"btTxt", {92, 4, 101, 35}, u"Save to TXT", u"Save as Text File", u"txt"},
         &Tfview::btTxtClick},
        {&btHtml,
         {u"btHtml",
          {212, 4, 141, 35},
          u"Create HTML Page",
          u"Create Web Page Using The Meta Tags",
          u"html-page"},
         &Tfview::btHtmlClick},
        {&btClose, {u"btClose", {542, 4, 67, 35}, u"Close", u"Close", u"close"}, &Tfview::btCloseClick},
    };
    for (const ButtonDef &def : buttons) {
        auto *b = widgets::makeImageButton(pntulbar, def.look);
        const auto action = def.action;
        connect(b, &QAbstractButton::clicked, this,
                [this, action] { guarded(this, [&] { (this->*action)(); }); });
        *def.button = b;
    }

    htsyn = new ViewerTextEdit(this);
    htsyn->setObjectName(u"htsyn"_s);
    htsyn->setAccessibleName(u"Meta Tags"_s);
    htsyn->setGeometry(6, 46, 652, 337);
    htsyn->setReadOnly(true);
    // Read-only, yet the caret can be moved and text selected with the keyboard.
    htsyn->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    htsyn->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    htsyn->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    htsyn->setLineWrapMode(QTextEdit::WidgetWidth);
    htsyn->setAcceptRichText(false);
    htsyn->setContextMenuPolicy(Qt::CustomContextMenu);
    // The token colours are fixed and made for a white page: the page stays
    // white on a dark desktop too, where the window colour would be dark.
    QPalette page = htsyn->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        page.setColor(group, QPalette::Base, Qt::white);
        page.setColor(group, QPalette::Text, Qt::black);
    }
    htsyn->setPalette(page);

    popht = new QMenu(this);
    popht->setObjectName(u"popht"_s);
    QAction *copy1 = popht->addAction(u"Copy &Selected"_s);
    copy1->setObjectName(u"Copy1"_s);
    popht->addSeparator();
    QAction *copyAll1 = popht->addAction(u"Copy &All"_s);
    copyAll1->setObjectName(u"CopyAll1"_s);
    connect(copy1, &QAction::triggered, this, [this] { guarded(this, [&] { Copy1Click(); }); });
    connect(copyAll1, &QAction::triggered, this, [this] { guarded(this, [&] { CopyAll1Click(); }); });
    connect(htsyn, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { popht->popup(htsyn->viewport()->mapToGlobal(pos)); });

    setTabOrder(htsyn, btCopy);
    setTabOrder(btCopy, btTxt);
    setTabOrder(btTxt, btHtml);
    setTabOrder(btHtml, btClose);
    htsyn->setFocus();
}

QAction *Tfview::addMenuItem(const QString &text, const QString &objectName, std::function<void()> action)
{
    if (!m_menuExtended)
        popht->addSeparator();
    m_menuExtended = true;
    QAction *item = popht->addAction(text);
    item->setObjectName(objectName);
    connect(item, &QAction::triggered, this, [this, action = std::move(action)] { guarded(this, action); });
    return item;
}

void Tfview::clearLines()
{
    m_lines.clear();
    htsyn->clear();
}

void Tfview::appendLine(const QString &line)
{
    m_lines.append(line);
    htsyn->setPlainText(text());
}

QString Tfview::text() const
{
    return tags::joinLines(m_lines);
}

void Tfview::ColorizeTags()
{
    // The converter scans the bytes in place; they live until it is done.
    const QByteArray bytes = text().toUtf8();
    const QByteArray rtf = render::colorizeHtml(bytes);
    loadRtf(*htsyn->document(), rtf);
    htsyn->moveCursor(QTextCursor::Start);
}

void Tfview::CopyAll1Click()
{
    htsyn->selectAll();
    QApplication::clipboard()->setMimeData(static_cast<const ViewerTextEdit *>(htsyn)->selectionData());
    QTextCursor cursor = htsyn->textCursor();
    cursor.setPosition(0);
    htsyn->setTextCursor(cursor);
}

void Tfview::Copy1Click()
{
    if (!htsyn->textCursor().hasSelection())
        return;
    QApplication::clipboard()->setMimeData(static_cast<const ViewerTextEdit *>(htsyn)->selectionData());
}

void Tfview::btTxtClick()
{
    const std::optional<QString> path = sadi.askSave(this);
    if (!path)
        return;
    try {
        writeFileSafely(*path, text().toUtf8());
    } catch (const Error &e) {
        throw Error(u"Cannot create file \"%1\". %2"_s.arg(*path, e.message()));
    }
}

void Tfview::btHtmlClick()
{
    if (m_openBuilder)
        m_openBuilder(m_pageMode, this);
}

int Tfview::showModalOver(QWidget *mainWindow)
{
    m_place->place(mainWindow);
    return exec();
}

void Tfview::btCloseClick()
{
    close();
}

} // namespace brindle::ui
