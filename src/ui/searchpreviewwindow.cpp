#include "ui/searchpreviewwindow.h"

#include "base/error.h"
#include "check/pagecheck.h"
#include "check/searchresult.h"
#include "check/textmeasure.h"
#include "render/webpage.h"
#include "tags/metataggenerator.h"
#include "ui/taginputs.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace brindle::ui {

namespace {

constexpr int kMargin = 16;

// The result's lines are set in Arial; Liberation Sans has its widths.
QFont resultFont(int pixelSize)
{
    QFont font(QString::fromUtf16(check::kMeasureFamily));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

QLabel *resultLine(QWidget *parent, const char16_t *name, int pixelSize, const QColor &colour)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromUtf16(name));
    label->setFont(resultFont(pixelSize));
    label->setTextFormat(Qt::PlainText);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
    return label;
}

QString cut(const QString &text, int pixelSize, double width)
{
    return QFontMetricsF(resultFont(pixelSize)).elidedText(text, Qt::ElideRight, width);
}

} // namespace

SearchPreviewWindow::SearchPreviewWindow(ui::TagInputs *inputs, QWidget *mainWindow)
    : ToolWindow(inputs, mainWindow)
{
    setObjectName(u"searchPreview"_s);
    setWindowTitle(u"Search Preview"_s);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    setAutoFillBackground(true);

    m_address = resultLine(this, u"lbaddress", check::kDescriptionPixelSize, QColor(0x00, 0x66, 0x21));
    m_title = resultLine(this, u"lbtitle", check::kTitlePixelSize, QColor(0x1a, 0x0d, 0xab));
    m_description =
        resultLine(this, u"lbdescription", check::kDescriptionPixelSize, QColor(0x4d, 0x51, 0x56));
    m_description->setWordWrap(true);
    // Two lines of the result column: about the 920 px the text is cut at.
    m_description->setFixedSize(kResultWidth, QFontMetrics(m_description->font()).lineSpacing() * 2);
    m_description->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(2);
    layout->addWidget(m_address);
    layout->addWidget(m_title);
    layout->addSpacing(2);
    layout->addWidget(m_description);
    m_title->setFixedWidth(kResultWidth);
    m_address->setFixedWidth(kResultWidth);
    setFixedSize(layout->sizeHint());
}

void SearchPreviewWindow::refresh()
{
    const tags::TagValues values = inputs()->values();
    m_address->setText(check::resultAddress(values.values[tags::Owner]));
    QStringList lines = inputs()->lines();
    // A page without a title gets the builder's placeholder, and a search
    // result shows that.
    if (!tags::joinLines(lines).contains(u"</title>"_s))
        lines.prepend(QString::fromUtf16(render::kPlaceholderTitle));
    QFont descriptionFont = resultFont(check::kDescriptionPixelSize);
    try {
        const check::PageReport report = check::checkTagLines(lines, check::FontMeasure::liberationSans());
        m_title->setText(cut(report.titleText, check::kTitlePixelSize, check::kTitleMaxPixels));
        if (report.description.present) {
            m_description->setText(
                cut(report.descriptionText, check::kDescriptionPixelSize, check::kDescriptionMaxPixels));
        } else {
            m_description->setText(
                u"No description: search engines show a piece of the page's text instead."_s);
            descriptionFont.setItalic(true);
        }
    } catch (const Error &e) {
        // Without its font the preview cannot measure; it says so in place
        // rather than with a message box at every key.
        m_title->clear();
        m_description->setText(e.message());
    }
    m_description->setFont(descriptionFont);
}

QString SearchPreviewWindow::titleText() const
{
    return m_title->text();
}

QString SearchPreviewWindow::addressText() const
{
    return m_address->text();
}

QString SearchPreviewWindow::descriptionText() const
{
    return m_description->text();
}

} // namespace brindle::ui
