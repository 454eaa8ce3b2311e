// On a dark desktop the tags viewer keeps its white page, since the token
// colours are fixed and made for white; the main window's inputs and check
// list follow the desktop's palette, and their boxes and frames stand out
// from what is around them on a light palette and a dark one alike.

#include "common/fakedialogs.h"
#include "tags/tagcatalogue.h"
#include "ui/mainwindow.h"
#include "ui/tagsviewer.h"
#include "widgets/tagchecklist.h"

#include <QApplication>
#include <QImage>
#include <QStyle>
#include <QStyleFactory>

#include <QTest>
#include <QTextEdit>
#include <cmath>

using namespace Qt::StringLiterals;
using namespace brindle;

namespace {

QPalette darkPalette()
{
    QPalette p;
    const QColor window(0x35, 0x35, 0x35), base(0x2a, 0x2a, 0x2a), text(0xe0, 0xe0, 0xe0);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    p.setColor(QPalette::HighlightedText, Qt::black);
    return p;
}

// WCAG contrast ratio of two colours.
double contrast(QColor a, QColor b)
{
    const auto luminance = [](QColor c) {
        const auto channel = [](double v) {
            v /= 255.0;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
    };
    double la = luminance(a), lb = luminance(b);
    if (la < lb)
        std::swap(la, lb);
    return (la + 0.05) / (lb + 0.05);
}

} // namespace

class TestDarkPalette : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStyleFactory::create(u"Fusion"_s)); }
    void cleanup() { QApplication::setPalette(QApplication::style()->standardPalette()); }

    void viewerKeepsAWhitePage_data()
    {
        QTest::addColumn<bool>("darkFirst");
        QTest::addRow("dark before the viewer is made") << true;
        QTest::addRow("desktop turns dark while it exists") << false;
    }
    void viewerKeepsAWhitePage()
    {
        QFETCH(bool, darkFirst);
        if (darkFirst)
            QApplication::setPalette(darkPalette());
        ui::Tfview viewer;
        if (!darkFirst)
            QApplication::setPalette(darkPalette());
        viewer.appendLine(u"<meta name=\"description\" content=\"Fish & Chips\">"_s);
        viewer.ColorizeTags();
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));

        QTextEdit *area = viewer.textArea();
        const QImage page = area->viewport()->grab().toImage();
        // Below the one line: nothing but page.
        QCOMPARE(page.pixelColor(page.width() / 2, page.height() - 5), QColor(Qt::white));
        // Every token colour stands out from it (on the dark grey of the
        // window colour blue and purple came to about 1.3:1).
        int tokenPixels = 0;
        const int lineHeight = area->fontMetrics().height() + 4;
        for (int y = 0; y < lineHeight; ++y) {
            for (int x = 0; x < page.width(); ++x) {
                const QColor c = page.pixelColor(x, y);
                if (c == QColor(0x00, 0x00, 0xFF) || c == QColor(0x80, 0x00, 0x80))
                    ++tokenPixels;
            }
        }
        QVERIFY(tokenPixels > 20);
        for (QColor token : {QColor(0x00, 0x00, 0xFF), QColor(0x80, 0x00, 0x80), QColor(0xFF, 0x00, 0x00),
                             QColor(0x00, 0x80, 0x00), QColor(0x00, 0x00, 0x80)})
            QVERIFY2(contrast(token, page.pixelColor(page.width() / 2, page.height() - 5)) >= 3.0,
                     qPrintable(token.name()));
    }

    // The outline of each check box and input, on the screenshot, stands
    // out from the background round it at 3:1 at least (WCAG's measure for
    // what identifies a control), and a tick from the box it is in.
    void boxesAndFramesRead_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<QString>("what");
        for (const bool dark : {false, true}) {
            for (const QString &what :
                 {u"unticked box"_s, u"ticked box"_s, u"text input"_s, u"focused text input"_s,
                  u"choice input"_s, u"focused choice input"_s})
                QTest::addRow("%s, %s", dark ? "dark" : "light", qPrintable(what)) << dark << what;
        }
    }
    void boxesAndFramesRead()
    {
        QFETCH(bool, dark);
        QFETCH(QString, what);
        QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
        test::FakeDialogs fake;
        ui::Tovalinform main;
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QImage shot;
        QRect box; // the control's outline within the shot
        if (what.endsWith(u"box"_s)) {
            widgets::TOvCheckList *list = main.tagList();
            list->SetRowChecked(3, what == u"ticked box"_s);
            shot = list->viewport()->grab().toImage();
            box = list->boxRect(3);
        } else {
            QWidget *input = main.input(what.contains(u"text"_s) ? tags::Keywords : tags::Rating);
            if (what.startsWith(u"focused"_s)) {
                input->setFocus();
                QTRY_VERIFY(input->hasFocus() || input->focusProxy());
            }
            shot = input->parentWidget()->grab(input->geometry().adjusted(-3, -3, 3, 3)).toImage();
            box = QRect(3, 3, input->width(), input->height());
        }
        const QColor around = shot.pixelColor(box.left() - 2, box.center().y());
        // Every pixel of the outline but the corners, which a theme may round.
        QList<QPoint> outline;
        for (int x = box.left() + 2; x <= box.right() - 2; ++x)
            outline << QPoint(x, box.top()) << QPoint(x, box.bottom());
        for (int y = box.top() + 2; y <= box.bottom() - 2; ++y)
            outline << QPoint(box.left(), y) << QPoint(box.right(), y);
        double weakest = 21;
        for (const QPoint &at : std::as_const(outline))
            weakest = std::min(weakest, contrast(shot.pixelColor(at), around));
        QVERIFY2(weakest >= 3.0, qPrintable(u"outline at %1:1 against %2"_s.arg(weakest).arg(around.name())));
        if (what == u"ticked box"_s) {
            const QColor fill = shot.pixelColor(box.left() + 2, box.bottom() - 2);
            int tick = 0;
            for (int y = box.top() + 2; y <= box.bottom() - 2; ++y) {
                for (int x = box.left() + 2; x <= box.right() - 2; ++x)
                    tick += contrast(shot.pixelColor(x, y), fill) >= 3.0 ? 1 : 0;
            }
            QVERIFY2(tick >= 10, qPrintable(QString::number(tick)));
        }
    }

    void mainWindowFollowsThePalette()
    {
        QApplication::setPalette(darkPalette());
        test::FakeDialogs fake;
        ui::Tovalinform main;
        QCOMPARE(main.input(0)->palette().color(QPalette::Base), darkPalette().color(QPalette::Base));
        QCOMPARE(main.input(6)->palette().color(QPalette::Base), darkPalette().color(QPalette::Base));
        QCOMPARE(main.tagList()->palette().color(QPalette::Base), darkPalette().color(QPalette::Base));
    }
};

QTEST_MAIN(TestDarkPalette)
#include "tst_darkpalette.moc"
