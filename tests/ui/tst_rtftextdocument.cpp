#include "render/colorize.h"
#include "ui/rtftextdocument.h"

#include <QFontDatabase>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using namespace Qt::StringLiterals;
using namespace brindle::render;
using namespace brindle::ui;

class TestRtfTextDocument : public QObject
{
    Q_OBJECT

private slots:
    void linesBecomeBlocks()
    {
        QTextDocument doc;
        doc.setPlainText(u"old content"_s);
        loadRtf(doc, colorizeHtml("<title>T</title>\r\n<meta name=\"a\">\r\n"));
        QCOMPARE(doc.toPlainText(), u"<title>T</title>\n<meta name=\"a\">\n"_s);
        QCOMPARE(doc.blockCount(), 3);
    }

    void runsKeepTheirColours()
    {
        QTextDocument doc;
        loadRtf(doc, colorizeHtml("<b>x</b>"));
        QList<std::pair<QString, QColor>> fragments;
        for (auto it = doc.begin().begin(); !it.atEnd(); ++it)
            fragments.append({it.fragment().text(), it.fragment().charFormat().foreground().color()});
        const QList<std::pair<QString, QColor>> expected = {
            {u"<"_s, QColor(0x00, 0x00, 0x80)}, {u"b"_s, QColor(0x80, 0x00, 0x80)},
            {u">"_s, QColor(0x00, 0x00, 0x80)}, {u"x"_s, QColor(0x00, 0x00, 0xFF)},
            {u"<"_s, QColor(0x00, 0x00, 0x80)}, {u"/b"_s, QColor(0x80, 0x00, 0x80)},
            {u">"_s, QColor(0x00, 0x00, 0x80)}};
        QCOMPARE(fragments, expected);
    }

    void fontIsCourierNewOrTheFixedFont()
    {
        QTextDocument doc;
        loadRtf(doc, colorizeHtml("x"));
        const QFont font = doc.begin().begin().fragment().charFormat().font();
        const QString expected = QFontDatabase::families().contains(u"Courier New"_s)
                                     ? u"Courier New"_s
                                     : QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
        QCOMPARE(font.family(), expected);
        QCOMPARE(font.pointSizeF(), 10.0);
        QCOMPARE(doc.defaultFont().family(), expected);
    }

    void emptyText()
    {
        QTextDocument doc;
        doc.setPlainText(u"old"_s);
        loadRtf(doc, colorizeHtml({}));
        QVERIFY(doc.isEmpty());
    }
};

QTEST_MAIN(TestRtfTextDocument)
#include "tst_rtftextdocument.moc"
