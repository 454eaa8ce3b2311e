#include "widgets/edits.h"
#include "widgets/fonts.h"
#include "widgets/gradientpanel.h"
#include "widgets/imagebutton.h"
#include "widgets/statusbar.h"
#include "widgets/systemcolors.h"

#include <QAbstractItemView>
#include <QEnterEvent>
#include <QFontDatabase>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brindle::widgets;

namespace {

QPalette knownPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(0xFF, 0xFF, 0xFF));
    palette.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
    palette.setColor(QPalette::Button, QColor(0xF0, 0xF0, 0xF0));
    palette.setColor(QPalette::Mid, QColor(0xA0, 0xA0, 0xA0));
    palette.setColor(QPalette::ButtonText, QColor(0, 0, 0));
    return palette;
}

bool nearColor(const QColor &a, const QColor &b, int tolerance = 1)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

void sendEnter(QWidget *widget)
{
    const QPointF inside(widget->width() / 2.0, widget->height() / 2.0);
    QEnterEvent enter(inside, widget->mapTo(widget->window(), inside), widget->mapToGlobal(inside));
    QCoreApplication::sendEvent(widget, &enter);
}

void sendLeave(QWidget *widget)
{
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(widget, &leave);
}

bool sameImage(const QPixmap &a, const QString &path)
{
    return a.toImage().convertToFormat(QImage::Format_ARGB32) ==
           QPixmap(path).toImage().convertToFormat(QImage::Format_ARGB32);
}

const QStringList kItems = {u"Arabic (DOS)"_s, u"Arabic (ISO)"_s, u"Unicode (UTF-7)"_s, u"Unicode (UTF-8)"_s,
                            u"Western European (Windows)"_s};

} // namespace

class TestWidgets : public QObject
{
    Q_OBJECT

private slots:
    void adjustLightness_data();
    void adjustLightness();
    void images_data();
    void images();
    void gradientPanelSystemStyle();
    void gradientPanelCustomStyleAndBorders();
    void imageButtonImages();
    void imageButtonClicks();
    void imageButtonKeepsFocusOffMouse();
    void comboTyping_data();
    void comboTyping();
    void comboDeletingDoesNotCompleteAgain();
    void comboSignalsNoSelection();
    void comboMaxLength();
    void comboEditableWithoutCompleter();
    void editMaxLength();
    void statusBarPanes();
    void uiFonts();
    void toolBarCaptionsFit();
};

void TestWidgets::adjustLightness_data()
{
    QTest::addColumn<QColor>("color");
    QTest::addColumn<int>("delta");
    QTest::addColumn<QColor>("expected");

    QTest::addRow("button face darkened by 10")
        << QColor(0xF0, 0xF0, 0xF0) << -10 << QColor(0xE6, 0xE6, 0xE6);
    QTest::addRow("shadow lightened by 30") << QColor(0xA0, 0xA0, 0xA0) << 30 << QColor(0xBE, 0xBE, 0xBE);
    QTest::addRow("darkening stops at black") << QColor(0x08, 0x08, 0x08) << -10 << QColor(0, 0, 0);
    QTest::addRow("lightening stops at white") << QColor(0xF0, 0xF0, 0xF0) << 30 << QColor(0xFF, 0xFF, 0xFF);
    QTest::addRow("blue keeps its hue")
        << QColor(0x17, 0x45, 0xAE) << -10
        << QColor::fromHsl(QColor(0x17, 0x45, 0xAE).hslHue(), QColor(0x17, 0x45, 0xAE).hslSaturation(),
                           QColor(0x17, 0x45, 0xAE).lightness() - 10);
    QTest::addRow("orange keeps its hue")
        << QColor(0xC4, 0x3C, 0x1A) << 30
        << QColor::fromHsl(QColor(0xC4, 0x3C, 0x1A).hslHue(), QColor(0xC4, 0x3C, 0x1A).hslSaturation(),
                           QColor(0xC4, 0x3C, 0x1A).lightness() + 30);
    QTest::addRow("zero changes nothing") << QColor(0x12, 0x34, 0x56) << 0 << QColor(0x12, 0x34, 0x56);
}

void TestWidgets::adjustLightness()
{
    QFETCH(QColor, color);
    QFETCH(int, delta);
    QFETCH(QColor, expected);

    const QColor result = brindle::widgets::adjustLightness(color, delta);
    QVERIFY2(nearColor(result, expected), qPrintable(result.name() + u" != "_s + expected.name()));
    if (color.hslSaturation() > 0 && result.lightness() > 0 && result.lightness() < 255)
        QVERIFY(std::abs(result.hslHue() - color.hslHue()) <= 1);
}

void TestWidgets::images_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");

    const auto add = [](const QString &name, int size) {
        QTest::addRow("%s", qPrintable(name)) << u":/images/%1.png"_s.arg(name) << QSize(size, size);
        QTest::addRow("%s-hover", qPrintable(name))
            << u":/images/%1-hover.png"_s.arg(name) << QSize(size, size);
    };
    for (const QString &name :
         {u"new"_s, u"open"_s, u"save"_s, u"html"_s, u"xhtml"_s, u"copy"_s, u"txt"_s, u"html-page"_s})
        add(name, 32);
    add(u"homepage"_s, 24);
    add(u"close"_s, 24);
    add(u"hint"_s, 20);
    add(u"reset"_s, 16);
    QTest::addRow("app") << u":/images/app.png"_s << QSize(32, 32);
    for (int size : {48, 64, 128, 256})
        QTest::addRow("app-%d", size) << u":/images/app-%1.png"_s.arg(size) << QSize(size, size);
}

void TestWidgets::images()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    const QPixmap pixmap(path);
    QVERIFY2(!pixmap.isNull(), qPrintable(path));
    QCOMPARE(pixmap.size(), size);
    QVERIFY(pixmap.hasAlphaChannel());
}

void TestWidgets::gradientPanelSystemStyle()
{
    GradientPanel panel;
    panel.setPalette(knownPalette());
    panel.resize(100, 39);
    QImage image = panel.grab().toImage();
    QVERIFY(nearColor(image.pixelColor(50, 0), QColor(0xFF, 0xFF, 0xFF)));
    QVERIFY(nearColor(image.pixelColor(50, 38), QColor(0xE6, 0xE6, 0xE6)));
    QVERIFY(image.pixelColor(50, 19).red() < 0xFF && image.pixelColor(50, 19).red() > 0xE6);

    // The system style follows the palette.
    QPalette dark = knownPalette();
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    panel.setPalette(dark);
    image = panel.grab().toImage();
    QVERIFY(nearColor(image.pixelColor(50, 0), QColor(0x20, 0x20, 0x20)));
}

void TestWidgets::gradientPanelCustomStyleAndBorders()
{
    GradientPanel panel;
    panel.setPalette(knownPalette());
    panel.resize(60, 22);
    panel.setGradientColors(QColor(0xFF, 0xFF, 0xFF), QColor(0xFF, 0xFF, 0xE1));
    panel.setBorderSides(Qt::BottomEdge | Qt::LeftEdge);
    QImage image = panel.grab().toImage();
    QVERIFY(nearColor(image.pixelColor(30, 0), QColor(0xFF, 0xFF, 0xFF)));
    QVERIFY(nearColor(image.pixelColor(30, 20), QColor(0xFF, 0xFF, 0xE1), 2));
    QCOMPARE(image.pixelColor(30, 21), QColor(0xA0, 0xA0, 0xA0));  // bottom line in clBtnShadow
    QCOMPARE(image.pixelColor(0, 10), QColor(0xA0, 0xA0, 0xA0));   // left line
    QVERIFY(image.pixelColor(59, 10) != QColor(0xA0, 0xA0, 0xA0)); // no right line
    QVERIFY(image.pixelColor(30, 0) != QColor(0xA0, 0xA0, 0xA0));  // no top line

    panel.setBorderColor(QColor(0x12, 0x34, 0x56));
    QCOMPARE(panel.grab().toImage().pixelColor(30, 21), QColor(0x12, 0x34, 0x56));

    panel.setColorStyle(GradientPanel::ColorStyle::System);
    QVERIFY(nearColor(panel.grab().toImage().pixelColor(30, 20), QColor(0xE6, 0xE6, 0xE6), 2));
}

void TestWidgets::imageButtonImages()
{
    // Away from the pointer, so that showing it sends no enter event.
    QWidget window;
    window.setGeometry(300, 300, 120, 50);
    ImageButton &button = *new ImageButton(&window);
    button.setImages(u":/images/html.png"_s, u":/images/html-hover.png"_s, u":/images/new.png"_s);
    button.setGeometry(10, 10, 95, 35);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QVERIFY(sameImage(button.currentImage(), u":/images/html.png"_s));
    const QImage normalLook = button.grab().toImage();

    sendEnter(&button);
    QVERIFY(button.isHovered());
    QVERIFY(sameImage(button.currentImage(), u":/images/html-hover.png"_s));
    QVERIFY(button.grab().toImage() != normalLook);

    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(sameImage(button.currentImage(), u":/images/new.png"_s));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(sameImage(button.currentImage(), u":/images/html-hover.png"_s));

    sendLeave(&button);
    QVERIFY(!button.isHovered());
    QVERIFY(sameImage(button.currentImage(), u":/images/html.png"_s));
    QCOMPARE(button.grab().toImage(), normalLook);

    // A button hidden while hovered gets no leave event; it must not come back lit.
    sendEnter(&button);
    button.hide();
    QVERIFY(!button.isHovered());
    QVERIFY(sameImage(button.currentImage(), u":/images/html.png"_s));

    // Without a pressed image the normal one shows while the button is down; a disabled
    // button shows no hover image and is drawn dimmed.
    ImageButton plain;
    plain.setImages(u":/images/hint.png"_s, u":/images/hint-hover.png"_s);
    plain.resize(20, 20);
    QTest::mousePress(&plain, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(sameImage(plain.currentImage(), u":/images/hint.png"_s));
    QTest::mouseRelease(&plain, Qt::LeftButton, {}, QPoint(5, 5));
    const QImage enabledLook = plain.grab().toImage();
    plain.setEnabled(false);
    sendEnter(&plain);
    QVERIFY(sameImage(plain.currentImage(), u":/images/hint.png"_s));
    QVERIFY(plain.grab().toImage() != enabledLook);
}

void TestWidgets::imageButtonClicks()
{
    ImageButton button;
    button.setImages(u":/images/save.png"_s, u":/images/save-hover.png"_s);
    button.setText(u"Save"_s);
    button.resize(74, 35);
    QSignalSpy clicked(&button, &QAbstractButton::clicked);

    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(30, 17));
    QCOMPARE(clicked.size(), 1);

    // Released outside: no click.
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(30, 17));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(200, 17));
    QCOMPARE(clicked.size(), 1);

    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(30, 17));
    QCOMPARE(clicked.size(), 1);
}

void TestWidgets::imageButtonKeepsFocusOffMouse()
{
    QWidget window;
    auto *edit = new QLineEdit(&window);
    auto *button = new ImageButton(&window);
    button->setImages(u":/images/new.png"_s, u":/images/new-hover.png"_s);
    button->setGeometry(0, 30, 66, 35);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(20, 17));
    QVERIFY(edit->hasFocus());

    // The keyboard reaches it, and then it shows a focus rectangle.
    const QImage unfocused = button->grab().toImage();
    QTest::keyClick(edit, Qt::Key_Tab);
    QVERIFY(button->hasFocus());
    QVERIFY(button->grab().toImage() != unfocused);
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QTest::keyClick(button, Qt::Key_Space);
    QCOMPARE(clicked.size(), 1);
}

void TestWidgets::comboTyping_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");

    QTest::addRow("text beginning no item selects nothing") << u"xyz"_s << -1 << u"xyz"_s;
    QTest::addRow("exact text selects its item") << u"Arabic (ISO)"_s << 1 << u"Arabic (ISO)"_s;
    QTest::addRow("beginning completes inline") << u"Arabic"_s << 0 << u"Arabic (DOS)"_s;
    QTest::addRow("completion ignores case") << u"unicode (utf-8"_s << 3 << u"Unicode (UTF-8)"_s;
    QTest::addRow("typing past every item selects nothing") << u"Arabic x"_s << -1 << u"Arabic x"_s;
    QTest::addRow("text longer than any item") << u"Arabic (DOS)x"_s << -1 << u"Arabic (DOS)x"_s;
}

void TestWidgets::comboTyping()
{
    QFETCH(QString, typed);
    QFETCH(int, index);
    QFETCH(QString, text);

    ComboBox combo;
    combo.addItems(kItems);
    combo.setCurrentIndex(4);
    combo.lineEdit()->clear();
    QTest::keyClicks(&combo, typed);
    QCOMPARE(combo.currentIndex(), index);
    QCOMPARE(combo.currentText(), text);
    QCOMPARE(combo.count(), kItems.size());

    // Enter adds nothing and keeps the choice.
    QTest::keyClick(&combo, Qt::Key_Return);
    QCOMPARE(combo.count(), kItems.size());
    QCOMPARE(combo.currentIndex(), index);
}

void TestWidgets::comboDeletingDoesNotCompleteAgain()
{
    ComboBox combo;
    combo.addItems(kItems);
    combo.setCurrentIndex(3);
    QTest::keyClick(&combo, Qt::Key_End);
    QTest::keyClick(&combo, Qt::Key_Backspace);
    QCOMPARE(combo.currentText(), u"Unicode (UTF-8"_s);
    QCOMPARE(combo.currentIndex(), 3);

    // After deleting, typing at the end completes again.
    QTest::keyClicks(&combo, u"x"_s);
    QCOMPARE(combo.currentText(), u"Unicode (UTF-8x"_s);
    QCOMPARE(combo.currentIndex(), -1);
    QTest::keyClick(&combo, Qt::Key_Backspace);
    QTest::keyClick(&combo, Qt::Key_Backspace);
    QCOMPARE(combo.currentText(), u"Unicode (UTF-"_s);
    QCOMPARE(combo.currentIndex(), 2); // the first item that begins so
    QTest::keyClicks(&combo, u"8"_s);
    QCOMPARE(combo.currentText(), u"Unicode (UTF-8)"_s);
    QCOMPARE(combo.currentIndex(), 3);

    QTest::keyClick(&combo, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&combo, Qt::Key_Delete);
    QCOMPARE(combo.currentText(), QString());
    QCOMPARE(combo.currentIndex(), -1);
}

void TestWidgets::comboSignalsNoSelection()
{
    ComboBox combo;
    combo.addItems(kItems);
    combo.setCurrentIndex(3);
    QSignalSpy changed(&combo, &QComboBox::currentIndexChanged);
    combo.lineEdit()->selectAll();
    QTest::keyClicks(&combo, u"q"_s);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), -1);
    QCOMPARE(combo.currentText(), u"q"_s);

    combo.setCurrentIndex(0);
    QCOMPARE(combo.currentText(), u"Arabic (DOS)"_s);
}

void TestWidgets::comboMaxLength()
{
    ComboBox combo;
    combo.addItems(kItems);
    QCOMPARE(combo.maxLength(), 0);
    combo.lineEdit()->clear();
    QTest::keyClicks(&combo, QString(300, u'x'));
    QCOMPARE(combo.currentText().size(), 300);

    combo.setMaxLength(5);
    QCOMPARE(combo.maxLength(), 5);
    combo.lineEdit()->clear();
    QTest::keyClicks(&combo, u"abcdefgh"_s);
    QCOMPARE(combo.currentText(), u"abcde"_s);
    QCOMPARE(combo.currentIndex(), -1);

    // Once the list has been opened, its items are 13 pixels high unless the font needs more.
    combo.showPopup();
    combo.hidePopup();
    const QModelIndex first = combo.model()->index(0, 0);
    QStyleOptionViewItem option;
    option.initFrom(combo.view());
    QCOMPARE(combo.itemDelegate()->sizeHint(option, first).height(),
             std::max(ComboBox::kItemHeight, option.fontMetrics.height()));
}

void TestWidgets::comboEditableWithoutCompleter()
{
    // Boxes built one after another: the completer each borrows while it is
    // made editable is left to none of them, and the list scrolls when needed.
    ComboBox first;
    ComboBox second;
    for (ComboBox *combo : {&first, &second}) {
        QVERIFY(combo->isEditable());
        QCOMPARE(combo->completer(), nullptr);
        QCOMPARE(combo->lineEdit()->completer(), nullptr);
        combo->addItems(kItems + kItems + kItems);
        combo->setMaxVisibleItems(5);
        combo->show();
        combo->showPopup();
        QTRY_VERIFY(combo->view()->isVisible());
        QVERIFY(combo->view()->verticalScrollBar()->isVisible());
        combo->hidePopup();
    }
}

void TestWidgets::editMaxLength()
{
    Edit edit(10, nullptr);
    QTest::keyClicks(&edit, u"0123456789abc"_s);
    QCOMPARE(edit.text(), u"0123456789"_s);
}

void TestWidgets::statusBarPanes()
{
    StatusBar bar;
    bar.resize(680, 19);
    QCOMPARE(bar.addPane(273), 0);
    QCOMPARE(bar.addPane(-1), 1);
    QCOMPARE(bar.paneRect(0), QRect(0, 0, 273, 19));
    QCOMPARE(bar.paneRect(1), QRect(273, 0, 407, 19));

    const QImage empty = bar.grab().toImage();
    bar.setPaneText(0, u"Profile : Untitled"_s);
    QCOMPARE(bar.paneText(0), u"Profile : Untitled"_s);
    QCOMPARE(bar.paneText(1), QString());
    QCOMPARE(bar.paneText(7), QString());
    bar.setPaneText(7, u"ignored"_s); // an unknown pane is no error

    const QImage shown = bar.grab().toImage();
    QVERIFY(shown.copy(0, 0, 273, 19) != empty.copy(0, 0, 273, 19));
    QCOMPARE(shown.copy(274, 0, 406, 19), empty.copy(274, 0, 406, 19));

    // The bar is painted like the tool bar.
    QVERIFY(nearColor(shown.pixelColor(600, 1), GradientPanel(nullptr).startColor(), 2));
    QCOMPARE(shown.pixelColor(600, 0).rgb(), clBtnShadow().rgb()); // the line along the top

    bar.setPaneColor(0, QColor(0xFF, 0, 0));
    bar.setPaneFont(0, uiFont(8, true));
    const QImage red = bar.grab().toImage();
    bool hasRed = false;
    for (int x = 0; x < 273 && !hasRed; ++x) {
        for (int y = 0; y < 19 && !hasRed; ++y)
            hasRed = red.pixelColor(x, y).red() > 200 && red.pixelColor(x, y).green() < 80;
    }
    QVERIFY(hasRed);
}

void TestWidgets::uiFonts()
{
    const QFont font = uiFont();
    QCOMPARE(font.pixelSize(), 11);
    QVERIFY(!font.bold());
    QVERIFY(uiFont(8, true).bold());
    QCOMPARE(uiFont(10).pixelSize(), 13);
    QVERIFY(QFontDatabase::families().contains(font.family()));
    if (QFontDatabase::families().contains(u"Tahoma"_s))
        QCOMPARE(font.family(), u"Tahoma"_s);
    QCOMPARE(arialFont().pixelSize(), 11);
}

// Builds the main window's tool bar as laid out there and checks that every caption
// fits its button. With BRINDLE_SAMPLE_PNG set, the sample is also saved for a look.
void TestWidgets::toolBarCaptionsFit()
{
    QWidget window;
    window.setFont(uiFont());
    window.setFixedSize(680, 130);
    window.setAutoFillBackground(true);
    window.setPalette(QApplication::palette());

    auto *toolBar = new GradientPanel(&window);
    toolBar->setGeometry(0, 0, 680, 39);
    toolBar->setBorderSides(Qt::BottomEdge);
    struct ToolBarButton
    {
        int x, width;
        QString caption, image;
    };
    const ToolBarButton buttons[] = {
        {7, 66, u"New"_s, u"new"_s},           {87, 74, u"Open"_s, u"open"_s},
        {167, 74, u"Save"_s, u"save"_s},       {279, 95, u"For HTML"_s, u"html"_s},
        {388, 95, u"For XHTML"_s, u"xhtml"_s}, {640, 35, QString(), u"homepage"_s}};
    for (const ToolBarButton &def : buttons) {
        auto *button = new ImageButton(toolBar);
        button->setImages(u":/images/%1.png"_s.arg(def.image), u":/images/%1-hover.png"_s.arg(def.image));
        button->setText(def.caption);
        button->setToolTip(def.caption);
        button->setGeometry(def.x, def.caption.isEmpty() ? 3 : 4, def.width, def.caption.isEmpty() ? 34 : 35);
        QVERIFY2(button->minimumSizeHint().width() <= def.width,
                 qPrintable(u"%1 needs %2"_s.arg(def.caption).arg(button->minimumSizeHint().width())));
        QVERIFY(button->minimumSizeHint().height() <= button->height());
    }
    auto *separator = new QFrame(toolBar);
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    separator->setGeometry(264, 4, 2, 31);

    auto *edit = new Edit(70, &window);
    edit->setGeometry(143, 50, 490, 19);
    edit->setText(u"Brindle sample title, gjpqy"_s);
    auto *hint = new ImageButton(&window);
    hint->setImages(u":/images/hint.png"_s, u":/images/hint-hover.png"_s);
    hint->setGeometry(636, 49, 20, 20);
    auto *combo = new ComboBox(&window);
    combo->addItems(kItems);
    combo->setCurrentIndex(3);
    combo->setGeometry(143, 76, 186, 21);
    auto *reset = new ImageButton(&window);
    reset->setImages(u":/images/reset.png"_s, u":/images/reset-hover.png"_s);
    reset->setGeometry(358, 77, 20, 20);
    for (QWidget *input : {static_cast<QWidget *>(edit), static_cast<QWidget *>(combo)})
        QVERIFY(QFontMetrics(input->font()).height() <= input->height() - 4);

    auto *status = new StatusBar(&window);
    status->setGeometry(0, 111, 680, 19);
    status->setPaneText(status->addPane(273), u"Profile : Untitled"_s);
    status->setPaneFont(status->addPane(-1), arialFont());

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (const QByteArray path = qgetenv("BRINDLE_SAMPLE_PNG"); !path.isEmpty()) {
        sendEnter(toolBar->findChildren<ImageButton *>().at(1));
        QVERIFY(window.grab().save(QString::fromLocal8Bit(path)));
    }
}

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
