#include "base/error.h"
#include "common/errorof.h"
#include "common/filesizelimit.h"
#include "common/olderreader.h"
#include "common/ordinaryuser.h"
#include "common/profilearrays.h"
#include "common/testfiles.h"
#include "profile/profilefile.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using brindle::test::arrayOf;
using brindle::test::kExampleProfile;
using brindle::test::kExampleUsed;
using brindle::test::kExampleValues;
using brindle::test::marked;
using namespace brindle;
using namespace brindle::profile;
using brindle::test::errorOf;

namespace {

// A root holding the given inner text.
QByteArray rootWith(const QByteArray &inner)
{
    return "<OvalinBrindleProfile Author=\"OvalinBrindle\">" + inner + "</OvalinBrindleProfile>";
}

QByteArray tagElements(int count, const char *prefix = "v")
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += "<tagname content=\"" + QByteArray(prefix) + QByteArray::number(i) + "\" isused=\"Y\"/>";
    return out;
}

} // namespace

class TestProfileFile : public QObject
{
    Q_OBJECT

private slots:
    void writesTheExampleByteForByte()
    {
        QCOMPARE(profileBytes(arrayOf(kExampleValues), arrayOf(kExampleUsed)), kExampleProfile);

        QTemporaryDir dir;
        const QString path = dir.filePath(u"home.wmp"_s);
        WriteProfile(arrayOf(kExampleValues), arrayOf(kExampleUsed), path);
        QCOMPARE(brindle::test::readFile(path), kExampleProfile);
    }

    void roundTrip_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QStringList>("used");
        QTest::addRow("markup characters")
            << QStringList{u"Fish & Chips"_s,     u"a<b>c"_s, u"say \"hi\""_s, u"it's"_s,
                           u"&amp; stays text"_s, u"]]>"_s}
            << kExampleUsed;
        QTest::addRow("non-ASCII") << QStringList{u"Zoë Müller"_s, u"日本語のページ"_s, u"€ ½ ©"_s,
                                                  u"\U0001F33B sunflower"_s, u"\u00A0nbsp"_s}
                                   << kExampleUsed;
        QTest::addRow("control characters")
            << QStringList{u"tab\there"_s,    u"line\nbreak"_s, u"cr\rlf\r\nend"_s,
                           u"\x01\x02\x1f"_s, u"del\x7f"_s,     u"\t\n"_s}
            << kExampleUsed;
        QTest::addRow("noncharacters and private-use characters")
            << QStringList{u"\uFFFE\uFFFF"_s, u"\uE001\x01\uE041"_s, u"\uF8FF\x1f"_s, u"\uFDD0"_s}
            << kExampleUsed;
        QTest::addRow("blanks kept") << QStringList{u"  padded  "_s, u" "_s, {}, u"a  b"_s} << kExampleUsed;
        QTest::addRow("all empty") << QStringList{} << QStringList{};
        QTest::addRow("all thirteen set")
            << QStringList{u"t"_s, u"d"_s, u"k"_s, u"a"_s,  u"c"_s,  u"o"_s,  u"2"_s,
                           u"3"_s, u"4"_s, u"3"_s, u"-1"_s, u"30"_s, u"135"_s}
            << QStringList{u"Y"_s, u"Y"_s, u"Y"_s, u"Y"_s, u"Y"_s, u"Y"_s, u"Y"_s,
                           u"Y"_s, u"Y"_s, u"Y"_s, u"Y"_s, u"Y"_s, u"Y"_s};
        QTest::addRow("ticks stored as they are")
            << kExampleValues << QStringList{u"y"_s, u"yes"_s, {}, u"Y "_s, u"&"_s, u"\""_s};
    }
    void roundTrip()
    {
        QFETCH(QStringList, values);
        QFETCH(QStringList, used);
        const TOvStringArray v = arrayOf(values);
        const TOvStringArray u = arrayOf(used);

        TOvStringArray readValues = marked(u"old"_s);
        TOvStringArray readUsed = marked(u"old"_s);
        QCOMPARE(readProfileBytes(profileBytes(v, u), readValues, readUsed), ReadOutcome::Accepted);
        QCOMPARE(readValues.toList(), v.toList());
        QCOMPARE(readUsed.toList(), u.toList());

        // The same through the files, and the writer puts nothing raw that
        // a reader would normalise away.
        QTemporaryDir dir;
        const QString path = dir.filePath(u"p.wmp"_s);
        WriteProfile(v, u, path);
        const QByteArray bytes = brindle::test::readFile(path);
        QVERIFY(!bytes.contains('\t') && !bytes.contains('\n') && !bytes.contains('\r'));
        readValues = marked(u"old"_s);
        readUsed = marked(u"old"_s);
        QCOMPARE(ReadProfile(path, readValues, readUsed), ReadOutcome::Accepted);
        QCOMPARE(readValues.toList(), v.toList());
        QCOMPARE(readUsed.toList(), u.toList());
    }

    // A choice text goes into a third attribute of its tagname, which
    // older readers, taking "content" and "isused", never look at.
    void choiceTextsBesideTheValues_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("element");
        QTest::addRow("robots") << 9 << u"noindex, nofollow"_s
                                << QByteArray(
                                       "<tagname content=\"-1\" isused=\"N\" text=\"noindex, nofollow\"/>");
        QTest::addRow("markup and a tab")
            << 6 << u"a\"b\" & <c>\t"_s
            << QByteArray("<tagname content=\"-1\" isused=\"N\" text=\"a&quot;b&quot; &amp; &lt;c>&#09;\"/>");
        QTest::addRow("non-ASCII") << 12 << u"Fran\u00E7ais (Canada)"_s
                                   << QByteArray("<tagname content=\"-1\" isused=\"N\" text=\"Fran\xC3\xA7"
                                                 "ais (Canada)\"/>");
    }
    void choiceTextsBesideTheValues()
    {
        QFETCH(int, tag);
        QFETCH(QString, text);
        QFETCH(QByteArray, element);
        QStringList valueList = kExampleValues;
        valueList[tag] = u"-1"_s;
        const TOvStringArray values = arrayOf(valueList);
        ProfileExtras extras;
        extras.choiceTexts[tag] = text;
        const QByteArray file = profileBytes(values, arrayOf(kExampleUsed), extras);
        QByteArray expected = profileBytes(values, arrayOf(kExampleUsed));
        expected.replace("<tagname content=\"-1\" isused=\"N\"/>", element);
        QCOMPARE(file, expected);

        TOvStringArray readValues = marked(u"old"_s);
        TOvStringArray readUsed = marked(u"old"_s);
        ProfileExtras read;
        read.choiceTexts = marked(u"old"_s);
        QCOMPARE(readProfileBytes(file, readValues, readUsed, &read), ReadOutcome::Accepted);
        QCOMPARE(readValues, values);
        QCOMPARE(read, extras); // a node without the attribute has no text

        const test::OlderRead older = test::readAsOlderVersion(file);
        QCOMPARE(older.error, QString());
        QCOMPARE(older.values, values.toList());
        QCOMPARE(older.used, kExampleUsed);

        // A file of fewer nodes leaves the others' texts as they were.
        QByteArray twelve = file;
        twelve.replace("<tagname content=\"28\" isused=\"N\"/></", "</");
        read.choiceTexts[12] = u"kept"_s;
        QCOMPARE(readProfileBytes(twelve, readValues, readUsed, &read), ReadOutcome::Accepted);
        QCOMPARE(read.choiceTexts[12], tag == 12 ? text : u"kept"_s);
    }

    void readsOtherLayouts_data()
    {
        QTest::addColumn<QByteArray>("file");
        QByteArray indented = kExampleProfile;
        indented.replace("><", ">\n    <");
        QTest::addRow("line breaks and indentation") << indented + "\n";
        QByteArray crlf = kExampleProfile;
        crlf.replace("><", ">\r\n\t<");
        QTest::addRow("CR LF and tabs") << crlf + "\r\n";
        QTest::addRow("UTF-8 byte order mark") << "\xEF\xBB\xBF" + kExampleProfile;
        QStringEncoder toUtf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        QTest::addRow("UTF-16 with byte order mark")
            << QByteArray(toUtf16(QString::fromUtf8(kExampleProfile)));
        QByteArray longForm = kExampleProfile;
        longForm.replace("/>", "></tagname>");
        QTest::addRow("end tags instead of empty elements") << longForm;
        QByteArray single = kExampleProfile;
        single.replace('"', '\'');
        QTest::addRow("single quotes") << single;
        QByteArray other = kExampleProfile;
        other.replace("tagname", "t").replace(" Author=\"OvalinBrindle\"", "");
        QTest::addRow("element names and Author not looked at") << other;
        QByteArray reordered = kExampleProfile;
        reordered.replace("content=\"Home &amp; garden\" isused=\"Y\"",
                          "isused=\"Y\" content=\"Home &#38; garden\"");
        QTest::addRow("attribute order and character references") << reordered;
        QTest::addRow("trailing comment after the root") << kExampleProfile + "<!-- end -->\n";
        QTest::addRow("control character references in a trailing comment and instruction")
            << kExampleProfile + "<!-- &#1; --><?x &#2;?>";
        QTest::addRow("declaration text inside a trailing comment")
            << kExampleProfile + "\n<!-- <!DOCTYPE OvalinBrindleProfile> -->\n";
        QTest::addRow("declaration text inside a trailing processing instruction")
            << kExampleProfile + "<?note <!DOCTYPE x>?>";
    }
    void readsOtherLayouts()
    {
        QFETCH(QByteArray, file);
        TOvStringArray values = marked(u"old"_s);
        TOvStringArray used = marked(u"old"_s);
        QCOMPARE(readProfileBytes(file, values, used), ReadOutcome::Accepted);
        QCOMPARE(values.toList(), kExampleValues);
        QCOMPARE(used.toList(), kExampleUsed);
    }

    void rejectsFilesNotStartingWithTheRoot_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addRow("leading XML declaration") << "<?xml version=\"1.0\"?>" + kExampleProfile;
        QTest::addRow("leading declaration with encoding")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + kExampleProfile;
        QTest::addRow("leading comment") << "<!-- profile -->" + kExampleProfile;
        QTest::addRow("leading processing instruction") << "<?style sheet?>" + kExampleProfile;
        QTest::addRow("root in other letter case")
            << QByteArray(kExampleProfile).replace("OvalinBrindleProfile", "ovalinbrindleprofile");
        QTest::addRow("other root") << rootWith(tagElements(13)).replace("OvalinBrindleProfile", "Profile");
        QTest::addRow("leading document type declaration")
            << "<!DOCTYPE OvalinBrindleProfile>" + kExampleProfile;
        QTest::addRow("document type declaration after a comment")
            << "<!-- profile -->\n<!DOCTYPE OvalinBrindleProfile>\n" + kExampleProfile;
        // Never expanded: reading stops at the declaration, before its
        // internal subset would be read.
        QTest::addRow("internal entity used in a value")
            << "<!DOCTYPE OvalinBrindleProfile [<!ENTITY t \"Home &#38; garden\">]>" +
                   QByteArray(kExampleProfile).replace("Home &amp; garden", "&t;");
        QByteArray laughs = "<!DOCTYPE OvalinBrindleProfile [<!ENTITY l0 \"ha\">";
        for (int i = 1; i < 10; ++i) {
            laughs += "<!ENTITY l" + QByteArray::number(i) + " \"";
            laughs += ("&l" + QByteArray::number(i - 1) + ";").repeated(10) + "\">";
        }
        QTest::addRow("billion laughs")
            << laughs + "]>" + QByteArray(kExampleProfile).replace("Home &amp; garden", "&l9;");
        QByteArray parameterLaughs = "<!DOCTYPE OvalinBrindleProfile [<!ENTITY % p0 \"<!-- ha -->\">";
        for (int i = 1; i < 30; ++i) {
            parameterLaughs += "<!ENTITY % p" + QByteArray::number(i) + " \"";
            parameterLaughs += ("&#37;p" + QByteArray::number(i - 1) + ";").repeated(2) + "\">";
        }
        QTest::addRow("parameter entities in the internal subset")
            << parameterLaughs + "%p29;]>" + kExampleProfile;
        QTest::addRow("external entity")
            << "<!DOCTYPE OvalinBrindleProfile [<!ENTITY x SYSTEM \"/etc/passwd\">]>" +
                   QByteArray(kExampleProfile).replace("Home &amp; garden", "&x;");
    }
    void rejectsFilesNotStartingWithTheRoot()
    {
        QFETCH(QByteArray, file);
        TOvStringArray values = marked(u"old"_s);
        TOvStringArray used = marked(u"used"_s);
        QCOMPARE(readProfileBytes(file, values, used), ReadOutcome::NotAProfile);
        QCOMPARE(values, marked(u"old"_s));
        QCOMPARE(used, marked(u"used"_s));

        QTemporaryDir dir;
        const QString path = dir.filePath(u"x.wmp"_s);
        QVERIFY(test::writeFile(path, file));
        QCOMPARE(ReadProfile(path, values, used), ReadOutcome::NotAProfile);
        QCOMPARE(values, marked(u"old"_s));
    }

    void failsWithExactMessages_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message");
        QTest::addRow("empty file") << QByteArray() << u"Premature end of document.\r\nLine: 1\r\n"_s;
        QTest::addRow("blanks only") << QByteArray(" \n\n ")
                                     << u"Premature end of document.\r\nLine: 3\r\n "_s;
        QTest::addRow("unclosed start tag, excerpt cut at 40 characters")
            << QByteArray("<OvalinBrindleProfile Author=\"OvalinBrindle\">\n"
                          "  <tagname content=\"a\" isused=\"Y\"/>\n"
                          "  <tagname content=\"b\" isused=\"Y\" <tagname content=\"c\" isused=\"N\"/>\n"
                          "</OvalinBrindleProfile>")
            << u"Expected '>' or '/', but got '<'.\r\nLine: 3\r\n  <tagname content=\"b\" isused=\"Y\" <tagna"_s;
        QTest::addRow("mismatched end tag")
            << rootWith("\r\n<tagname content=\"a\" isused=\"Y\">\r\n</OvalinBrindleProfile>")
            << u"Opening and ending tag mismatch.\r\nLine: 3\r\n</OvalinBrindleProfile></OvalinBrindlePr"_s;
        QTest::addRow("missing end of root: the line, not a stray character")
            << QByteArray("<OvalinBrindleProfile>\n<tagname content=\"é\" isused=\"Y\"/>")
            << u"Premature end of document.\r\nLine: 2\r\n<tagname content=\"é\" isused=\"Y\"/>"_s;
        QTest::addRow("node without attributes: comment between two elements")
            << rootWith(tagElements(2) + "<!-- between -->" + tagElements(2))
            << u"Could not convert variant of type (Null) into type (String)"_s;
        QTest::addRow("content without isused")
            << rootWith(tagElements(1) + "<tagname content=\"stored only in temporaries\"/>")
            << u"Could not convert variant of type (Null) into type (String)"_s;
        QTest::addRow("isused without content")
            << rootWith("<tagname isused=\"Y\"/>")
            << u"Could not convert variant of type (Null) into type (String)"_s;
        QTest::addRow("text inside the root")
            << rootWith(tagElements(3) + "stray text")
            << u"Could not convert variant of type (Null) into type (String)"_s;
        QTest::addRow("nested comment")
            << rootWith("<tagname content=\"a\" isused=\"Y\"><!-- c --></tagname>")
            << u"Could not convert variant of type (Null) into type (String)"_s;
        QTest::addRow("CDATA inside the root")
            << rootWith(tagElements(1) + "<![CDATA[ ]]>")
            << u"Could not convert variant of type (Null) into type (String)"_s;

        // Not well-formed, each shown with the text of its line up to the error.
        QTest::addRow("text after the root element")
            << rootWith(tagElements(13)) + "\ntrailing text"
            << u"Extra content at end of document.\r\nLine: 2\r\ntrailing text"_s;
        QTest::addRow("second root element")
            << rootWith(tagElements(13)) + "\n" + rootWith(tagElements(1))
            << u"Extra content at end of document.\r\nLine: 2\r\ninBrindleProfile Author=\"OvalinBrindle\">"_s;
        QTest::addRow("text before the root")
            << "profile\n" + kExampleProfile << u"Start tag expected.\r\nLine: 1\r\nprofile"_s;
        QTest::addRow("undefined entity")
            << rootWith("\n<tagname content=\"&foo;\" isused=\"Y\"/>\n")
            << u"Entity 'foo' not declared.\r\nLine: 2\r\n<tagname content=\"&foo;\" isused=\"Y\"/>"_s;
        QTest::addRow("duplicate attribute")
            << rootWith("\n<tagname content=\"a\" content=\"b\" isused=\"Y\"/>\n")
            << u"Attribute 'content' redefined.\r\nLine: 2\r\name content=\"a\" content=\"b\" isused=\"Y\"/>"_s;
        QTest::addRow("< inside an attribute value")
            << rootWith("\n<tagname content=\"a<b\" isused=\"Y\"/>\n")
            << u"Unexpected '<'.\r\nLine: 2\r\n<tagname content=\"a<b\" isused=\"Y\"/>"_s;
        QTest::addRow("byte that is not UTF-8")
            << rootWith("\n<tagname content=\"Caf\xE9 au lait\" isused=\"Y\"/>\n")
            << u"Encountered incorrectly encoded content.\r\nLine: 2\r\n<tagname content=\"Caf"_s;
        QTest::addRow("UTF-8 sequence cut off at the end")
            << kExampleProfile + "\n\xE2\x82" << u"Encountered incorrectly encoded content.\r\nLine: 2\r\n"_s;
        QStringEncoder toUtf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        QByteArray loneSurrogate =
            toUtf16(QString::fromUtf8(rootWith("\n<tagname content=\"ab\" isused=\"Y\"/>")));
        loneSurrogate.replace(QByteArray("a\0b\0", 4), QByteArray("a\0\x00\xD8"
                                                                  "b\0",
                                                                  6));
        QTest::addRow("UTF-16 with a lone surrogate")
            << loneSurrogate
            << u"Encountered incorrectly encoded content.\r\nLine: 2\r\n<tagname content=\"a"_s;
        QTest::addRow("document type declaration after the root")
            << kExampleProfile + "\n<!DOCTYPE OvalinBrindleProfile>"
            << u"Unexpected '<!DOCTYPE'.\r\nLine: 2\r\n<!DOCTYPE OvalinBrindleProfile>"_s;
        QTest::addRow("document type declaration inside the root")
            << rootWith(tagElements(2) + "\n<!DOCTYPE OvalinBrindleProfile>")
            << u"Unexpected '<!DOCTYPE'.\r\nLine: 2\r\n<!DOCTYPE OvalinBrindleProfile></OvalinB"_s;
        QTest::addRow("reference to NUL")
            << rootWith("\n<tagname content=\"&#0;\" isused=\"Y\"/>")
            << u"Invalid character reference.\r\nLine: 2\r\n<tagname content=\"&#0;\" isused=\"Y\"/></Ov"_s;
        QTest::addRow("excerpt from the file, not from what the parser was given")
            << rootWith("\n<tagname content=\"&#1;&#x00000000E001;&foo;\" isused=\"Y\"/>")
            << u"Entity 'foo' not declared.\r\nLine: 2\r\ngname content=\"&#1;&#x00000000E001;&foo;"_s;
        QTest::addRow("40 characters, not UTF-16 units")
            << rootWith("\n<tagname content=\"" + QByteArray("\xF0\x9F\x8C\xBB").repeated(50) + "&foo;\"/>")
            << u"Entity 'foo' not declared.\r\nLine: 2\r\n"_s + QString(u"\U0001F33B"_s).repeated(35) +
                   u"&foo;"_s;
        QTest::addRow("reference to a control character in a name")
            << rootWith("\n<tagname content=\"&#1;\" a&#1;b=\"x\" isused=\"Y\"/>")
            << u"Expected '=', but got '&'.\r\nLine: 2\r\n<tagname content=\"&#1;\" a&#1;b=\"x\" isuse"_s;
        QTest::addRow("cut off inside a value")
            << rootWith({}).left(45) + "\n<tagname content=\"Home"
            << u"Premature end of document.\r\nLine: 2\r\n<tagname content=\"Home"_s;
        // Control characters of the file never reach the terminal raw.
        QTest::addRow("NUL shown as a picture")
            << rootWith("\n<tagname content=\"a#b\" isused=\"Y\"/>").replace('#', '\0')
            << u"Unexpected ''.\r\nLine: 2\r\n<tagname content=\"a\u2400b\" isused=\"Y\"/></Ova"_s;
        QTest::addRow("escape shown as a picture")
            << rootWith("\n<tagname content=\"\x1b[31mred\" isused=\"Y\"/>")
            << u"Unexpected ''.\r\nLine: 2\r\n<tagname content=\"\u241B[31mred\" isused=\"Y\"/>"_s;
    }
    void failsWithExactMessages()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        // Whatever was read before the failure stays in the reader's copies.
        TOvStringArray values = marked(u"old"_s);
        TOvStringArray used = marked(u"used"_s);
        QCOMPARE(errorOf([&] { readProfileBytes(file, values, used); }), message);
        QCOMPARE(values, marked(u"old"_s));
        QCOMPARE(used, marked(u"used"_s));

        QTemporaryDir dir;
        const QString path = dir.filePath(u"x.wmp"_s);
        QVERIFY(test::writeFile(path, file));
        QCOMPARE(errorOf([&] { ReadProfile(path, values, used); }), message);
        QCOMPARE(values, marked(u"old"_s));
    }

    void missingFileFailsInTheParserFormat()
    {
        QTemporaryDir dir;
        TOvStringArray values = marked(u"old"_s);
        TOvStringArray used = marked(u"used"_s);
        QCOMPARE(errorOf([&] { ReadProfile(dir.filePath(u"none.wmp"_s), values, used); }),
                 u"No such file or directory\r\nLine: 0\r\n"_s);
        QCOMPARE(errorOf([&] { ReadProfile(dir.path(), values, used); }).section(u'\r', 1),
                 u"\nLine: 0\r\n"_s);
        QCOMPARE(values, marked(u"old"_s));
    }

    // Control characters are kept as character references (XML has no other
    // form for them), so those references are read back although XML 1.0
    // does not allow them; private-use characters of the file stay as they are.
    void readsReferencesToCharactersXmlForbids_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("value");
        QTest::addRow("as written") << QByteArray("a&#01;b&#31;c&#09;")
                                    << u"a\x01"
                                       "b\x1f"
                                       "c\t"_s;
        QTest::addRow("hexadecimal and decimal") << QByteArray("&#x1b;&#27;&#x0001F;") << u"\x1b\x1b\x1f"_s;
        QTest::addRow("noncharacters") << QByteArray("&#xFFFE;&#65535;") << u"\uFFFE\uFFFF"_s;
        QTest::addRow("private-use characters of the file kept")
            << QByteArray("\xEE\x80\x81&#1;&#xE041;&#xE081;\xEF\xA3\xBF&#2;")
            << u"\uE001\x01\uE041\uE081\uF8FF\x02"_s;
        QTest::addRow("beside a reference to a private-use character")
            << QByteArray("&#xE001;&#1;&#x00000000E041;") << u"\uE001\x01\uE041"_s;
    }
    void readsReferencesToCharactersXmlForbids()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, value);
        TOvStringArray values = marked(u"old"_s);
        TOvStringArray used = marked(u"old"_s);
        const QByteArray file = rootWith("<tagname content=\"" + content + "\" isused=\"" + content +
                                         "\"/><tagname content=\"&#5;\" isused=\"N\"/>");
        QCOMPARE(readProfileBytes(file, values, used), ReadOutcome::Accepted);
        QCOMPARE(values[0], value);
        QCOMPARE(used[0], value);
        QCOMPARE(values[1], u"\x05"_s);
        QCOMPARE(values[2], u"old2"_s);
    }

    void fillsByVisitOrder_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("values");
        QStringList twelve;
        for (int i = 0; i < 12; ++i)
            twelve << u"v%1"_s.arg(i);
        QTest::addRow("12 elements keep entry 12")
            << rootWith(tagElements(12)) << (QStringList(twelve) << u"old12"_s);
        QStringList first13 = twelve;
        first13 << u"v12"_s;
        QTest::addRow("20 elements use the first 13") << rootWith(tagElements(20)) << first13;
        QTest::addRow("anything after the 13th is not looked at")
            << rootWith(tagElements(13) + "<!-- c --><x/>text") << first13;
        QTest::addRow("nested element shifts the indexes")
            << rootWith(
                   "<tagname content=\"v0\" isused=\"Y\"><inner content=\"in\" isused=\"Y\"/></tagname>" +
                   tagElements(12, "w"))
            << QStringList{u"v0"_s, u"in"_s, u"w0"_s, u"w1"_s, u"w2"_s, u"w3"_s, u"w4"_s,
                           u"w5"_s, u"w6"_s, u"w7"_s, u"w8"_s, u"w9"_s, u"w10"_s};
        QTest::addRow("deep nesting counts only the first 13 nodes")
            << rootWith(QByteArray("<a content=\"d\" isused=\"Y\">").repeated(30) +
                        QByteArray("</a>").repeated(30))
            << QStringList(13, u"d"_s);
        QTest::addRow("empty root changes nothing")
            << rootWith({})
            << QStringList{u"old0"_s, u"old1"_s, u"old2"_s, u"old3"_s,  u"old4"_s,  u"old5"_s, u"old6"_s,
                           u"old7"_s, u"old8"_s, u"old9"_s, u"old10"_s, u"old11"_s, u"old12"_s};
        QTest::addRow("choice texts stored unchecked")
            << rootWith("<tagname content=\"abc\" isused=\"y\"/><tagname content=\" 05\" isused=\"yes\"/>")
            << QStringList{u"abc"_s,  u" 05"_s,  u"old2"_s, u"old3"_s,  u"old4"_s,  u"old5"_s, u"old6"_s,
                           u"old7"_s, u"old8"_s, u"old9"_s, u"old10"_s, u"old11"_s, u"old12"_s};
    }
    void fillsByVisitOrder()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, values);
        TOvStringArray readValues = marked(u"old"_s);
        TOvStringArray readUsed = marked(u"old"_s);
        QCOMPARE(readProfileBytes(file, readValues, readUsed), ReadOutcome::Accepted);
        QCOMPARE(readValues.toList(), values);
    }

    // Large files and costly ones. What one element may cost the parser is
    // bounded, so that reading stays linear in the file's size: the parser
    // compares each attribute with every earlier one of its element, and
    // keeps a record per open element.
    void largeAndCostlyFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message"); // empty: accepted
        const auto attributes = [](int from, int count) {
            QByteArray out;
            out.reserve(qsizetype(count) * 12);
            for (int i = from; i < from + count; ++i)
                out.append(" a").append(QByteArray::number(i)).append("=''");
            return out;
        };
        const QString crowded =
            u"The element has too many attributes for a profile (more than 64)\r\nLine: 2\r\n"_s;
        QTest::addRow("a million attributes on one tagname")
            << rootWith("\n<tagname content='a' isused='Y'" + attributes(0, 1'000'000) + "/>")
            << crowded + u" a57='' a58='' a59='' a60='' a61='' a62="_s;
        QTest::addRow("65 attributes after the thirteenth node")
            << rootWith(tagElements(13) + "\n<x" + attributes(0, 65) + "/>")
            << crowded + u" a59='' a60='' a61='' a62='' a63='' a64="_s;
        QTest::addRow("64 attributes")
            << rootWith(tagElements(13) + "\n<x" + attributes(0, 64) + "/>") << QString();
        QTest::addRow("equals signs in values do not count")
            << rootWith(tagElements(13) + "<x a='" + QByteArray("=").repeated(100) + "' b=\"==\"/>")
            << QString();
        QTest::addRow("a parse error before the crowded element comes first")
            << rootWith("\n<tagname content='a' isused='Y'>\n</x>\n<y" + attributes(0, 100) + "/>")
            << u"Opening and ending tag mismatch.\r\nLine: 3\r\n</x>"_s;

        const QString deep =
            u"The elements are nested too deeply for a profile (more than 256 levels)\r\nLine: 1\r\n"_s;
        QTest::addRow("257 levels") << rootWith(QByteArray("<a>").repeated(256) +
                                                QByteArray("</a>").repeated(256))
                                    << deep + QString::fromLatin1(QByteArray("<a>").repeated(14).right(40));
        QTest::addRow("nested far beyond, never closed")
            << rootWith(QByteArray("<a>").repeated(1'000'000))
            << deep + QString::fromLatin1(QByteArray("<a>").repeated(14).right(40));
        QTest::addRow("256 levels") << rootWith(tagElements(13) + QByteArray("<a>").repeated(255) +
                                                QByteArray("</a>").repeated(255))
                                    << QString();

        // The parser reads a large file in pieces (of 64 KiB): what it finds
        // must not depend on where a piece ends.
        const QByteArray start = rootWith(tagElements(13)).chopped(23); // without the root's end tag
        for (int end = 65530; end <= 65540; ++end) {
            const QByteArray padded =
                start + QByteArray(end - start.size() - 23, '\n') + "</OvalinBrindleProfile>";
            QTest::addRow("the root ends at %d, text follows", end)
                << padded + "trailing"
                << u"Extra content at end of document.\r\nLine: %1\r\n"
                   u"</OvalinBrindleProfile>trailing"_s.arg(padded.count('\n') + 1);
            QTest::addRow("the root ends at %d, blanks and a comment follow", end)
                << padded + "\n<!-- c -->\n"
                << QString();
            const QByteArray text = start + QByteArray(end - start.size(), ' ');
            QTest::addRow("\"]]>\" in text after the thirteenth node, ending at %d", end)
                << text + "]]></OvalinBrindleProfile>"
                << u"Sequence ']]>' not allowed in content.\r\nLine: 1\r\n"_s + QString(37, u' ') + u"]]>"_s;
        }
        QByteArray spread = kExampleProfile;
        spread.replace("><", ">" + QByteArray(30'000, '\n') + "<");
        QTest::addRow("elements far apart") << spread << QString();
    }
    void largeAndCostlyFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        TOvStringArray values = marked(u"old"_s);
        TOvStringArray used = marked(u"used"_s);
        if (message.isEmpty()) {
            QCOMPARE(readProfileBytes(file, values, used), ReadOutcome::Accepted);
            QCOMPARE(values[12], values[0] == u"v0"_s ? u"v12"_s : kExampleValues[12]);
            return;
        }
        QCOMPARE(errorOf([&] { readProfileBytes(file, values, used); }), message);
        QCOMPARE(values, marked(u"old"_s));
    }

    // A profile is a few hundred bytes: a larger file is refused before it is
    // read, and a device or pipe of unknown size is read only past the limit.
    void refusesFilesOverTheSizeLimit_data()
    {
        QTest::addColumn<QString>("path"); // empty: a file of the given size
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("message");
        const QString tooLarge = u"The file is too large for a profile (more than 16 MiB)\r\nLine: 0\r\n"_s;
        QTest::addRow("sparse file of 1 GB") << QString() << (qint64(1) << 30) << tooLarge;
        QTest::addRow("one byte over") << QString() << (qint64(16) << 20) + 1 << tooLarge;
        QTest::addRow("endless device") << u"/dev/zero"_s << qint64(0) << tooLarge;
        // Read whole: its first byte is what the parser refuses.
        QTest::addRow("at the limit")
            << QString() << (qint64(16) << 20)
            << u"Start tag expected.\r\nLine: 1\r\n"_s + QString(40, QChar(u'\u2400'));
    }
    void refusesFilesOverTheSizeLimit()
    {
        QFETCH(QString, path);
        QFETCH(qint64, size);
        QFETCH(QString, message);
        QTemporaryDir dir;
        if (path.isEmpty()) {
            path = dir.filePath(u"large.wmp"_s);
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(size)); // sparse: nothing is written
        }
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        TOvStringArray values = marked(u"old"_s);
        TOvStringArray used = marked(u"used"_s);
        QCOMPARE(errorOf([&] { ReadProfile(path, values, used); }), message);
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        QCOMPARE_LT(after.ru_maxrss - before.ru_maxrss, 200 * 1024); // KiB: never the whole file
        QCOMPARE(values, marked(u"old"_s));
        QCOMPARE(used, marked(u"used"_s));
    }

    // A profile of any size that cannot be written whole leaves the old file
    // as it was; small ones are where a buffered writer lost the error.
    void failedWriteKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<qsizetype>("valueLength"); // of each of the 13 values
        QTest::addColumn<QString>("message");
        QTest::addRow("read-only folder") << u"readonly"_s << qsizetype(200) << u"File access denied"_s;
        for (const qsizetype length : {0, 200, 1500, 7500})
            QTest::addRow("file size limit, values of %lld characters", qlonglong(length))
                << u"fsize"_s << length << u"Disk full"_s;
    }
    void failedWriteKeepsTheOldFile()
    {
        QFETCH(QString, how);
        QFETCH(qsizetype, valueLength);
        QFETCH(QString, message);
        if (how == u"readonly"_s)
            BRINDLE_RUN_AS_ORDINARY_USER();
        QTemporaryDir dir;
        const QString path = dir.filePath(u"keep.wmp"_s);
        QVERIFY(test::writeFile(path, kExampleProfile));
        const TOvStringArray values(QString(valueLength, u'x'));
        const TOvStringArray used(u"Y"_s);
        QString error;
        if (how == u"readonly"_s) {
            QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
            error = errorOf([&] { WriteProfile(values, used, path); });
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        } else {
            const qsizetype size = profileBytes(values, used).size();
            const test::FileSizeLimit limit(rlim_t(size / 2));
            QVERIFY(limit.active());
            error = errorOf([&] { WriteProfile(values, used, path); });
        }
        QCOMPARE(error, message);
        QCOMPARE(brindle::test::readFile(path), kExampleProfile);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"keep.wmp"_s}); // no temporary left
    }

    // The same texts as every other file the program writes.
    void writeFailsWithTheSystemsReason()
    {
        QTemporaryDir dir;
        const TOvStringArray values;
        QCOMPARE(errorOf([&] { WriteProfile(values, values, dir.filePath(u"no/such/folder.wmp"_s)); }),
                 u"Path not found"_s);
        QCOMPARE(errorOf([&] { WriteProfile(values, values, dir.path()); }), u"Invalid filename"_s);
        QVERIFY(errorOf([&] { WriteProfile(values, values, QString()); }) != u"<no error>"_s);
    }
};

QTEST_GUILESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
