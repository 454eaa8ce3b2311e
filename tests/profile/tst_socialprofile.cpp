// The social values in the profile file: written after the thirteenth
// "tagname" only when there are any, read back strictly, and invisible to
// a reader of the older format, which takes the first thirteen nodes.

#include "base/error.h"
#include "common/errorof.h"
#include "common/olderreader.h"
#include "common/profilearrays.h"
#include "common/testfiles.h"
#include "profile/profilefile.h"

#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;
using brindle::test::arrayOf;
using brindle::test::kExampleProfile;
using brindle::test::kExampleUsed;
using brindle::test::kExampleValues;
using brindle::test::marked;
using brindle::test::OlderRead;
using brindle::test::readAsOlderVersion;
using namespace brindle;
using brindle::test::errorOf;
using namespace brindle::profile;
using namespace brindle::tags;

namespace {

SocialEntries entriesOf(std::initializer_list<std::pair<int, QString>> values, const QString &used = u"Y"_s)
{
    SocialEntries entries;
    for (const auto &[field, value] : values)
        entries.values[std::size_t(field)] = value;
    entries.used = used;
    return entries;
}

ProfileExtras withSocial(const SocialEntries &social)
{
    return {{}, social};
}

SocialEntries markedSocial()
{
    SocialEntries entries;
    for (int f = 0; f < kSocialFieldCount; ++f)
        entries.values[std::size_t(f)] = u"old"_s + QString::number(f);
    entries.used = u"old"_s;
    return entries;
}

// The example profile with `social` in place of nothing after its thirteenth tagname.
QByteArray exampleWith(const QByteArray &afterThirteenth)
{
    QByteArray file = kExampleProfile;
    file.insert(file.indexOf("</OvalinBrindleProfile>"), afterThirteenth);
    return file;
}

QByteArray fullSocial(const QByteArray &extraAttributes = {}, const QByteArray &leaveOut = {})
{
    QByteArray element = "<social";
    for (const char *key :
         {"og-title", "og-description", "og-type", "og-url", "og-image", "og-image-alt", "og-site-name",
          "og-locale", "twitter-card", "twitter-site", "twitter-creator", "isused"}) {
        if (leaveOut == key)
            continue;
        element += ' ' + QByteArray(key) + "=\"" + (QByteArray(key) == "isused" ? "Y" : key) + '"';
    }
    return element + extraAttributes + "/>";
}

SocialEntries fullSocialEntries()
{
    SocialEntries entries;
    for (int f = 0; f < kSocialFieldCount; ++f)
        entries.values[std::size_t(f)] =
            QString::fromUtf8(socialFieldInfo(f).key.data(), qsizetype(socialFieldInfo(f).key.size()));
    entries.used = u"Y"_s;
    return entries;
}

} // namespace

class TestSocialProfile : public QObject
{
    Q_OBJECT

private slots:
    void withoutSocialValuesTheFileIsAsBefore()
    {
        const TOvStringArray values = arrayOf(kExampleValues);
        const TOvStringArray used = arrayOf(kExampleUsed);
        QCOMPARE(profileBytes(values, used, ProfileExtras()), kExampleProfile);
        QCOMPARE(profileBytes(values, used, withSocial(entriesOf({}, u"N"_s))), kExampleProfile);
        QTemporaryDir dir;
        WriteProfile(values, used, ProfileExtras(), dir.filePath(u"a.wmp"_s));
        QCOMPARE(test::readFile(dir.filePath(u"a.wmp"_s)), kExampleProfile);
    }

    void writtenForm_data()
    {
        QTest::addColumn<SocialEntries>("social");
        QTest::addColumn<QByteArray>("element");
        QTest::addRow("every field, isused last")
            << fullSocialEntries()
            << QByteArray(
                   "<social og-title=\"og-title\" og-description=\"og-description\" og-type=\"og-type\" "
                   "og-url=\"og-url\" og-image=\"og-image\" og-image-alt=\"og-image-alt\" "
                   "og-site-name=\"og-site-name\" og-locale=\"og-locale\" twitter-card=\"twitter-card\" "
                   "twitter-site=\"twitter-site\" twitter-creator=\"twitter-creator\" isused=\"Y\"/>");
        QTest::addRow("a value without the tick, empty ones kept")
            << entriesOf({{OgImageAlt, u"A \"cat\" & <dog>"_s}}, u"N"_s)
            << QByteArray(
                   "<social og-title=\"\" og-description=\"\" og-type=\"\" og-url=\"\" og-image=\"\" "
                   "og-image-alt=\"A &quot;cat&quot; &amp; &lt;dog>\" og-site-name=\"\" og-locale=\"\" "
                   "twitter-card=\"\" twitter-site=\"\" twitter-creator=\"\" isused=\"N\"/>");
        QTest::addRow("the tick alone")
            << entriesOf({}, u"Y"_s)
            << QByteArray(
                   "<social og-title=\"\" og-description=\"\" og-type=\"\" og-url=\"\" og-image=\"\" "
                   "og-image-alt=\"\" og-site-name=\"\" og-locale=\"\" twitter-card=\"\" twitter-site=\"\" "
                   "twitter-creator=\"\" isused=\"Y\"/>");
    }
    void writtenForm()
    {
        QFETCH(SocialEntries, social);
        QFETCH(QByteArray, element);
        QCOMPARE(profileBytes(arrayOf(kExampleValues), arrayOf(kExampleUsed), withSocial(social)),
                 exampleWith(element));
    }

    void roundTrip_data()
    {
        QTest::addColumn<SocialEntries>("social");
        QTest::addRow("every field") << fullSocialEntries();
        QTest::addRow("markup, blanks and non-ASCII")
            << entriesOf({{OgTitle, u"  Fish & <Chips> \"x\"  "_s},
                          {OgDescription, u"Grüße aus Köln \U0001F33B"_s},
                          {TwitterSite, u"@ü"_s}});
        QTest::addRow("control characters")
            << entriesOf({{OgDescription, u"line\nbreak\ttab\r\x01"_s}, {OgImageAlt, u"\uFFFE"_s}});
        QTest::addRow("tick stored as it is") << entriesOf({{OgType, u"website"_s}}, u"y"_s);
        QTest::addRow("empty tick") << entriesOf({{OgType, u"website"_s}}, QString());
    }
    void roundTrip()
    {
        QFETCH(SocialEntries, social);
        const QByteArray file =
            profileBytes(arrayOf(kExampleValues), arrayOf(kExampleUsed), withSocial(social));
        TOvStringArray values = marked(u"old"_s);
        TOvStringArray used = marked(u"old"_s);
        ProfileExtras read = withSocial(markedSocial());
        QCOMPARE(readProfileBytes(file, values, used, &read), ReadOutcome::Accepted);
        QCOMPARE(read.social, social);
        QCOMPARE(values.toList(), kExampleValues);
        QCOMPARE(used.toList(), kExampleUsed);
    }

    // What an older version reads from a file with social values is exactly
    // what it read from the same profile without them.
    void olderReaderTakesTheClassicValues_data()
    {
        QTest::addColumn<QByteArray>("file");
        const TOvStringArray values = arrayOf(kExampleValues);
        const TOvStringArray used = arrayOf(kExampleUsed);
        QTest::addRow("every field") << profileBytes(values, used, withSocial(fullSocialEntries()));
        QTest::addRow("values that look like the classic attributes") << profileBytes(
            values, used, withSocial(entriesOf({{OgTitle, u"content=\"x\" isused=\"Y\""_s}})));
        QTest::addRow("indented as a person would edit it")
            << QByteArray(profileBytes(values, used, withSocial(fullSocialEntries())))
                   .replace("><", ">\n  <");
        QTest::addRow("without social values") << kExampleProfile;
    }
    void olderReaderTakesTheClassicValues()
    {
        QFETCH(QByteArray, file);
        const OlderRead older = readAsOlderVersion(file);
        QCOMPARE(older.error, QString());
        QCOMPARE(older.values, kExampleValues);
        QCOMPARE(older.used, kExampleUsed);

        // This version reads the same classic values from it.
        TOvStringArray values;
        TOvStringArray used;
        QCOMPARE(readProfileBytes(file, values, used), ReadOutcome::Accepted);
        QCOMPARE(values.toList(), older.values);
        QCOMPARE(used.toList(), older.used);
    }

    // Files the older reader and this one must treat alike.
    void classicOutcomesUnchanged_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("socialRead"); // the element gives the social entries
        const QByteArray tags12 =
            QByteArray(kExampleProfile).replace("<tagname content=\"28\" isused=\"N\"/>", "");
        QTest::addRow("social as the thirteenth node: a node without content")
            << QByteArray(tags12).replace("</Ovalin", fullSocial() + "</Ovalin") << false;
        QTest::addRow("social with the classic attributes as the thirteenth node")
            << QByteArray(tags12).replace("</Ovalin", "<social content=\"c\" isused=\"Y\"/></Ovalin")
            << false;
        QByteArray nested = kExampleProfile;
        nested.replace("<tagname content=\"28\" isused=\"N\"/>",
                       "<tagname content=\"28\" isused=\"N\">" + fullSocial() + "</tagname>");
        QTest::addRow("social nested in the thirteenth tagname: a fourteenth node") << nested << false;
        QTest::addRow("comment and other elements after the thirteenth")
            << exampleWith("<!-- note --><other x=\"1\"/>" + fullSocial() + "text") << true;
        QByteArray shifted = kExampleProfile;
        shifted.replace("<tagname content=\"Home &amp; garden\" isused=\"Y\"/>",
                        "<tagname content=\"Home &amp; garden\" isused=\"Y\"><inner content=\"i\" "
                        "isused=\"N\"/></tagname>");
        QTest::addRow("after a nested node moved the thirteenth one out")
            << QByteArray(shifted).replace("</Ovalin", fullSocial() + "</Ovalin") << true;
    }
    void classicOutcomesUnchanged()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, socialRead);
        const OlderRead older = readAsOlderVersion(file);
        TOvStringArray values = marked(u"old"_s);
        TOvStringArray used = marked(u"old"_s);
        ProfileExtras extras = withSocial(markedSocial());
        const QString error = errorOf([&] { readProfileBytes(file, values, used, &extras); });
        if (!older.error.isEmpty()) {
            QCOMPARE(older.error, u"missing attribute"_s);
            QCOMPARE(error, u"Could not convert variant of type (Null) into type (String)"_s);
            QCOMPARE(values, marked(u"old"_s));
            QCOMPARE(extras.social, markedSocial());
            return;
        }
        QCOMPARE(error, u"<no error>"_s);
        QCOMPARE(values.toList().first(older.values.size()), older.values);
        QCOMPARE(used.toList().first(older.used.size()), older.used);
        QCOMPARE(extras.social, socialRead ? fullSocialEntries() : SocialEntries());
    }

    void withoutTheElementThereAreNoSocialValues()
    {
        TOvStringArray values;
        TOvStringArray used;
        ProfileExtras extras = withSocial(markedSocial());
        QCOMPARE(readProfileBytes(kExampleProfile, values, used, &extras), ReadOutcome::Accepted);
        QCOMPARE(extras.social, SocialEntries());
        QVERIFY(extras.social.isEmpty());
    }

    void refusedElements_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("error"); // empty: refused as not a profile
        QTest::addRow("unknown attribute") << exampleWith(fullSocial(" og-video=\"v\"")) << QString();
        QTest::addRow("attribute named as the property")
            << exampleWith(fullSocial(" og:title=\"t\"")) << QString();
        QTest::addRow("namespace declaration") << exampleWith(fullSocial(" xmlns=\"urn:x\"")) << QString();
        QTest::addRow("second social element") << exampleWith(fullSocial() + fullSocial()) << QString();
        const QString conversion = u"Could not convert variant of type (Null) into type (String)"_s;
        QTest::addRow("a field left out") << exampleWith(fullSocial({}, "og-locale")) << conversion;
        QTest::addRow("isused left out") << exampleWith(fullSocial({}, "isused")) << conversion;
        QTest::addRow("no attribute at all") << exampleWith("<social/>") << conversion;
    }
    void refusedElements()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, error);
        TOvStringArray values = marked(u"old"_s);
        TOvStringArray used = marked(u"used"_s);
        ProfileExtras extras = withSocial(markedSocial());
        if (error.isEmpty()) {
            QCOMPARE(readProfileBytes(file, values, used, &extras), ReadOutcome::NotAProfile);
            QTemporaryDir dir;
            QFile out(dir.filePath(u"x.wmp"_s));
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(file);
            out.close();
            QCOMPARE(ReadProfile(out.fileName(), values, used, &extras), ReadOutcome::NotAProfile);
        } else {
            QCOMPARE(errorOf([&] { readProfileBytes(file, values, used, &extras); }), error);
        }
        // Nothing is taken from a file that is refused.
        QCOMPARE(values, marked(u"old"_s));
        QCOMPARE(used, marked(u"used"_s));
        QCOMPARE(extras.social, markedSocial());
        // The older reader takes the classic values all the same.
        QCOMPARE(readAsOlderVersion(file).values, kExampleValues);
    }
};

QTEST_GUILESS_MAIN(TestSocialProfile)
#include "tst_socialprofile.moc"
