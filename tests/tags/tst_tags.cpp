#include "base/textutil.h"
#include "common/errorof.h"
#include "tags/metataggenerator.h"
#include "tags/tagcatalogue.h"

#include <QTest>

#include <tuple>

using namespace Qt::StringLiterals;
using namespace brindle;
using namespace brindle::tags;

namespace {

RowTicks ticksOf(std::initializer_list<int> rows)
{
    RowTicks ticks{};
    for (int row : rows)
        ticks[std::size_t(row)] = true;
    return ticks;
}

TagValues homePageExample()
{
    TagValues v = TagValues::defaults();
    v.values[Title] = u"Home Page"_s;
    v.values[Description] = u"Fish & Chips"_s;
    return v;
}

} // namespace

class TestTags : public QObject
{
    Q_OBJECT

private slots:
    void charsetCodes_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("code");
        QTest::addRow("KOI8-U item writes koi8-ru") << 15 << u"koi8-ru"_s;
        QTest::addRow("Turkish writes iso-8859-9") << 27 << u"iso-8859-9"_s;
        QTest::addRow("Central European DOS") << 5 << u"ibm852"_s;
        QTest::addRow("Cyrillic DOS") << 12 << u"cp866"_s;
        QTest::addRow("default utf-8") << 28 << u"utf-8"_s;
        QTest::addRow("last entry") << 30 << u"iso-8859-1"_s;
        QTest::addRow("no item selected") << -1 << QString();
        QTest::addRow("past the table") << 31 << QString();
    }
    void charsetCodes()
    {
        QFETCH(int, item);
        QFETCH(QString, code);
        QCOMPARE(toQString(charsetCode(item)), code);
        if (!code.isEmpty())
            QCOMPARE(charsetIndexOfCode(code.toStdString()), item);
    }

    void catalogueShape()
    {
        QCOMPARE(kCharsetItems.size(), CharsetCodes.size());
        QCOMPARE(toQString(kCharsetItems[24]), u"Japanese (Shift-]IS)"_s);
        QCOMPARE(toQString(kCharsetItems[14]), u"Cyrillic (K018-R)"_s);
        QCOMPARE(toQString(kContentLanguageItems[36]), u"Gaelic (Scots Gaelic)"_s);
        QCOMPARE(toQString(kContentLanguageItems.back()), u"Zulu"_s);
        // Every tag's row is the row with its text, and only group rows have no tag.
        int groups = 0;
        for (int row = 0; row < kRowCount; ++row) {
            const int t = tagOfListRow(row);
            if (t < 0) {
                QVERIFY(isGroupRowText(kRowTexts[std::size_t(row)]));
                ++groups;
                continue;
            }
            QCOMPARE(listRowOfTag(t), row);
            QCOMPARE(tagInfo(t).rowText, kRowTexts[std::size_t(row)]);
            QCOMPARE(tagInfo(t).kind == InputKind::Text, t < kTextTagCount);
        }
        QCOMPARE(groups, 3);
    }

    void newProfileDefaults()
    {
        const TagValues v = TagValues::defaults();
        const QStringList expected = {u"Global"_s, u"General"_s,         u"7 days"_s, u"index,follow"_s,
                                      u"Public"_s, u"Unicode (UTF-8)"_s, u"English"_s};
        for (int t = 0; t < kTextTagCount; ++t)
            QVERIFY(v.values[std::size_t(t)].isEmpty());
        for (int t = kTextTagCount; t < kTagCount; ++t)
            QCOMPARE(v.values[std::size_t(t)], expected.at(t - kTextTagCount));
        QCOMPARE(v.charsetItem, 28);
    }

    void homePageExample_data()
    {
        QTest::addColumn<TagMode>("mode");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("pageMode");
        QTest::addRow("HTML")
            << TagMode::Html
            << QStringList{u"<title>Home Page</title>"_s,
                           u"<meta name=\"description\" content=\"Fish & Chips\">"_s,
                           u"<meta name=\"robots\" content=\"index,follow\">"_s,
                           u"<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">"_s}
            << u"Meta Tags For HTML Documents"_s << 1;
        QTest::addRow("XHTML")
            << TagMode::Xhtml
            << QStringList{u"<title>Home Page</title>"_s,
                           u"<meta name=\"description\" content=\"Fish & Chips\" />"_s,
                           u"<meta name=\"robots\" content=\"index,follow\" />"_s,
                           u"<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\" />"_s}
            << u"Meta Tags For XHTML Documents"_s << 2;
    }
    void homePageExample()
    {
        QFETCH(TagMode, mode);
        QFETCH(QStringList, lines);
        const GeneratedTags g = generateTags(::homePageExample(), ticksOf({1, 3, 4, 11, 14}), mode);
        QCOMPARE(g.lines, lines);
        QFETCH(QString, caption);
        QCOMPARE(g.caption, caption);
        QFETCH(int, pageMode);
        QCOMPARE(g.pageMode, pageMode);
        QCOMPARE(g.rowsToUntick, std::vector<int>{4});
        QVERIFY(!g.noticeDue);
        QCOMPARE(joinLines(g.lines), lines.join(u"\r\n"_s) + u"\r\n"_s);
    }

    void singleLines_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("xhtml");
        QTest::addRow("cleared choice gives empty content")
            << int(Rating) << QString() << u"<meta name=\"rating\" content=\"\">"_s
            << u"<meta name=\"rating\" content=\"\" />"_s;
        QTest::addRow("closer marker typed by the user stays")
            << int(Description) << u"a#CL#b"_s << u"<meta name=\"description\" content=\"a#CL#b\">"_s
            << u"<meta name=\"description\" content=\"a#CL#b\" />"_s;
        QTest::addRow("value marker typed by the user stays")
            << int(Keywords) << u"x#CNT#y"_s << u"<meta name=\"keywords\" content=\"x#CNT#y\">"_s
            << u"<meta name=\"keywords\" content=\"x#CNT#y\" />"_s;
        QTest::addRow("title keeps markers and quotes")
            << int(Title) << u"a#CL#\"b\"<i>"_s << u"<title>a#CL#\"b\"<i></title>"_s
            << u"<title>a#CL#\"b\"<i></title>"_s;
        QTest::addRow("quote in content is escaped")
            << int(Author) << u"Joe \"JJ\" Doe"_s
            << u"<meta name=\"author\" content=\"Joe &quot;JJ&quot; Doe\">"_s
            << u"<meta name=\"author\" content=\"Joe &quot;JJ&quot; Doe\" />"_s;
        QTest::addRow("ampersand and brackets stay")
            << int(Owner) << u"<A & B>"_s << u"<meta name=\"owner\" content=\"<A & B>\">"_s
            << u"<meta name=\"owner\" content=\"<A & B>\" />"_s;
        QTest::addRow("spaces are kept")
            << int(Copyright) << u"  "_s << u"<meta name=\"copyright\" content=\"  \">"_s
            << u"<meta name=\"copyright\" content=\"  \" />"_s;
        QTest::addRow("typed choice text")
            << int(CacheControl) << u"max-age=60"_s
            << u"<meta http-equiv=\"cache-control\" content=\"max-age=60\">"_s
            << u"<meta http-equiv=\"cache-control\" content=\"max-age=60\" />"_s;
        QTest::addRow("language name with comma")
            << int(ContentLanguage) << u"Latvian, Lettish"_s
            << u"<meta http-equiv=\"content-language\" content=\"Latvian, Lettish\">"_s
            << u"<meta http-equiv=\"content-language\" content=\"Latvian, Lettish\" />"_s;
        QTest::addRow("non-ASCII and controls pass through")
            << int(Description) << u"Grüße \t東京 😀"_s
            << u"<meta name=\"description\" content=\"Grüße \t東京 😀\">"_s
            << u"<meta name=\"description\" content=\"Grüße \t東京 😀\" />"_s;
    }
    void singleLines()
    {
        QFETCH(int, tag);
        QFETCH(QString, value);
        QFETCH(QString, html);
        QFETCH(QString, xhtml);
        TagValues v = TagValues::defaults();
        v.values[std::size_t(tag)] = value;
        const RowTicks ticks = ticksOf({listRowOfTag(tag)});
        QCOMPARE(generateTags(v, ticks, TagMode::Html).lines, QStringList{html});
        QCOMPARE(generateTags(v, ticks, TagMode::Xhtml).lines, QStringList{xhtml});
    }

    // The charset line carries the code of the selected item, else the
    // typed text when browsers know it as a charset; other texts are
    // refused, and an empty code is never written.
    void charsetLine_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("charset"); // empty: refused
        QTest::addColumn<QString>("message");
        QTest::addRow("item: its code, the text not looked at")
            << 15 << u"Cyril"_s << u"koi8-ru"_s << QString();
        QTest::addRow("label") << -1 << u"windows-1252"_s << u"windows-1252"_s << QString();
        QTest::addRow("label as typed, blanks around it dropped")
            << -1 << u" Latin1\t"_s << u"Latin1"_s << QString();
        QTest::addRow("code of the table the standard lacks")
            << -1 << u"dos-720"_s << u"dos-720"_s << QString();
        QTest::addRow("index past the list, label") << 99 << u"utf-8"_s << u"utf-8"_s << QString();
        const QString choose =
            u": choose one of the list or type a charset name browsers know, such as windows-1252"_s;
        QTest::addRow("unknown") << -1 << u"utf-7"_s << QString() << u"Unknown charset \"utf-7\""_s + choose;
        QTest::addRow("a display text is no charset")
            << -1 << u"Western"_s << QString() << u"Unknown charset \"Western\""_s + choose;
        QTest::addRow("empty") << -1 << QString() << QString() << u"No charset given"_s + choose;
        QTest::addRow("blanks") << -1 << u"  "_s << QString() << u"No charset given"_s + choose;
    }
    void charsetLine()
    {
        QFETCH(int, item);
        QFETCH(QString, typed);
        QFETCH(QString, charset);
        QFETCH(QString, message);
        TagValues v = TagValues::defaults();
        v.values[Charset] = typed;
        v.charsetItem = item;
        const QString line = u"<meta http-equiv=\"content-type\" content=\"text/html; charset=%1\">"_s;
        if (!charset.isEmpty()) {
            QCOMPARE(generateTags(v, ticksOf({14}), TagMode::Html).lines, QStringList{line.arg(charset)});
            return;
        }
        QCOMPARE(test::errorOf([&] { generateTags(v, ticksOf({14}), TagMode::Html); }), message);
        // Only a line that is made is refused.
        QCOMPARE(generateTags(v, ticksOf({1, 11}), TagMode::Html).lines.size(), 1);
        // A checker is shown the line as typed.
        QCOMPARE(generateTags(v, ticksOf({14}), TagMode::Html, RefusedCharset::WrittenAsTyped).lines,
                 QStringList{line.arg(typed.trimmed())});
    }

    void notice_data()
    {
        QTest::addColumn<RowTicks>("ticks");
        QTest::addColumn<bool>("noticeDue");
        QTest::addColumn<std::vector<int>>("untick");
        QTest::addRow("nothing ticked") << RowTicks{} << true << std::vector<int>{};
        QTest::addRow("only empty text tags") << ticksOf({1, 3, 7}) << true << std::vector<int>{1, 3, 7};
        QTest::addRow("group rows never count") << ticksOf({0, 2, 12}) << true << std::vector<int>{};
        QTest::addRow("a choice tag is enough") << ticksOf({1, 8}) << false << std::vector<int>{1};
        RowTicks all;
        all.fill(true);
        QTest::addRow("all ticked, texts empty") << all << false << std::vector<int>{1, 3, 4, 5, 6, 7};
    }
    void notice()
    {
        QFETCH(RowTicks, ticks);
        QFETCH(bool, noticeDue);
        QFETCH(std::vector<int>, untick);
        for (const auto &[mode, caption, pageMode] :
             {std::tuple(TagMode::Html, u"Meta Tags For HTML Documents"_s, 1),
              std::tuple(TagMode::Xhtml, u"Meta Tags For XHTML Documents"_s, 2)}) {
            const GeneratedTags g = generateTags(TagValues::defaults(), ticks, mode);
            QCOMPARE(g.noticeDue, noticeDue);
            QCOMPARE(g.rowsToUntick, untick);
            QCOMPARE(g.lines.isEmpty(), noticeDue);
            // Caption and page mode are set before the count, notice or not.
            QCOMPARE(g.caption, caption);
            QCOMPARE(g.pageMode, pageMode);
        }
    }

    void allTagsInRowOrder()
    {
        TagValues v = TagValues::defaults();
        for (int t = 0; t < kTextTagCount; ++t)
            v.values[std::size_t(t)] = QString(tagInfo(t).maxLength, u'x');
        RowTicks all;
        all.fill(true);
        const GeneratedTags g = generateTags(v, all, TagMode::Html);
        QCOMPARE(g.lines.size(), kTagCount);
        QVERIFY(g.rowsToUntick.empty());
        QVERIFY(g.lines.at(0).startsWith(u"<title>"_s));
        QCOMPARE(g.lines.at(12), u"<meta http-equiv=\"content-language\" content=\"English\">"_s);
        QCOMPARE(g.lines.at(8), u"<meta name=\"revisit-after\" content=\"7 days\">"_s);
    }
};

QTEST_GUILESS_MAIN(TestTags)
#include "tst_tags.moc"
