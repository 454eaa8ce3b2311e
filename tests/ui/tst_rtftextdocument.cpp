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

    // Selections of a coloured document map back onto the text it was made
    // from, including line breaks inside a value that the document lacks.
    void selectionsGiveTheSourceText_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("selected"); // what the document shows at from..to
        QTest::addColumn<QString>("expected");
        const QString lf = u"<a c=\"Ann\nBob\">\r\n<b>\r\n"_s;
        QTest::addRow("everything") << lf << u"*"_s << lf;
        QTest::addRow("across a dropped line feed") << lf << u"nnB"_s << u"nn\nB"_s;
        QTest::addRow("up to a dropped line feed") << lf << u"Ann"_s << u"Ann"_s;
        QTest::addRow("from a dropped line feed") << lf << u"Bob"_s << u"Bob"_s;
        QTest::addRow("across a line end") << lf << u"\">\u2029<b"_s << u"\">\r\n<b"_s;
        const QString cr = u"<t>x\ry\r\n"_s;
        QTest::addRow("a lone carriage return") << cr << u"*"_s << cr;
        const QString ends = u"<a c=\"\nfish\n\">\r\n"_s;
        QTest::addRow("line feeds at a value's ends") << ends << u"*"_s << ends;
        QTest::addRow("letters beyond Latin-1")
            << u"<t>Zo\u00eb \U0001F41F</t>\r\n"_s << u"\U0001F41F</t"_s << u"\U0001F41F</t"_s;
    }
    void selectionsGiveTheSourceText()
    {
        QFETCH(QString, source);
        QFETCH(QString, selected);
        QFETCH(QString, expected);
        QTextDocument doc;
        loadRtf(doc, colorizeHtml(source.toUtf8()));
        QString shown;
        for (int p = 0; p < doc.characterCount() - 1; ++p)
            shown += doc.characterAt(p);
        int from = 0, to = int(shown.size());
        if (selected != u"*"_s) {
            from = int(shown.indexOf(selected));
            QVERIFY2(from >= 0, qPrintable(shown));
            to = from + int(selected.size());
        }
        QCOMPARE(sourceText(doc, from, to, source), expected);
        QCOMPARE(sourceText(doc, to, to, source), QString());
    }
};

QTEST_MAIN(TestRtfTextDocument)
#include "tst_rtftextdocument.moc"
