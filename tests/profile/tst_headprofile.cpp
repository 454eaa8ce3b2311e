// The head values in the profile file: written after the social element (or
// the thirteenth "tagname") only when there are any, read back strictly, and
// invisible to a reader of the older format.

#include "base/error.h"
#include "common/errorof.h"
#include "common/olderreader.h"
#include "common/profilearrays.h"
#include "common/testfiles.h"
#include "profile/inputsview.h"
#include "profile/profilefile.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using brindle::test::arrayOf;
using brindle::test::errorOf;
using brindle::test::kExampleProfile;
using brindle::test::kExampleUsed;
using brindle::test::kExampleValues;
using brindle::test::marked;
using brindle::test::readAsOlderVersion;
using namespace brindle;
using namespace brindle::profile;
using namespace brindle::tags;

namespace {

HeadValues headOf(std::initializer_list<std::pair<int, QString>> values, std::initializer_list<int> ticked)
{
    HeadValues head;
    for (const auto &[field, value] : values)
        head[field] = value;
    for (int field : ticked)
        head.used[std::size_t(field)] = true;
    return head;
}

ProfileExtras withHead(const HeadValues &head, const SocialEntries &social = {})
{
    return {{}, social, head};
}

HeadValues markedHead()
{
    HeadValues head;
    for (int f = 0; f < kHeadFieldCount; ++f)
        head[f] = u"old"_s + QString::number(f);
    head.used.fill(true);
    return head;
}

QByteArray exampleWith(const QByteArray &afterThirteenth)
{
    QByteArray file = kExampleProfile;
    file.insert(file.indexOf("</OvalinBrindleProfile>"), afterThirteenth);
    return file;
}

const QByteArray kEmptyHead = "<head viewport=\"\" canonical=\"\" alternate=\"\" theme-color=\"\" icon=\"\" "
                              "lang=\"\" structured-data=\"\" published=\"\" modified=\"\" logo=\"\"";

QByteArray headElement(const QByteArray &used, const QByteArray &extra = {})
{
    return kEmptyHead + extra + " used=\"" + used + "\"/>";
}

} // namespace

class TestHeadProfile : public QObject
{
    Q_OBJECT

private slots:
    void writtenForm_data()
    {
        QTest::addColumn<ProfileExtras>("extras");
        QTest::addColumn<QByteArray>("file");
        QTest::addRow("no head values: as before") << withHead(HeadValues{}) << QByteArray(kExampleProfile);
        QTest::addRow("every field, the ticked keys last")
            << withHead(headOf({{Viewport, u"width=500"_s},
                                {Canonical, u"https://e.org/?a=1&b=2"_s},
                                {Alternates, u"de=https://e.org/de/ x-default=https://e.org/"_s},
                                {ThemeColor, u"#336699"_s},
                                {Icon, u"/favicon.ico"_s},
                                {Language, u"en-GB"_s},
                                {StructuredData, u"Article"_s},
                                {DatePublished, u"2024-05-01"_s},
                                {DateModified, u"2024-05-02"_s},
                                {Logo, u"https://e.org/l.png"_s}},
                               {Viewport, Canonical, Language, StructuredData}))
            << exampleWith(
                   "<head viewport=\"width=500\" canonical=\"https://e.org/?a=1&amp;b=2\" "
                   "alternate=\"de=https://e.org/de/ x-default=https://e.org/\" theme-color=\"#336699\" "
                   "icon=\"/favicon.ico\" lang=\"en-GB\" structured-data=\"Article\" "
                   "published=\"2024-05-01\" modified=\"2024-05-02\" logo=\"https://e.org/l.png\" "
                   "used=\"viewport canonical lang structured-data\"/>");
        QTest::addRow("a tick alone (the default viewport)")
            << withHead(headOf({}, {Viewport})) << exampleWith(headElement("viewport"));
        QTest::addRow("after the social element")
            << withHead(headOf({{Icon, u"i.png"_s}}, {}), SocialEntries::of({{}, true}))
            << exampleWith("<social og-title=\"\" og-description=\"\" og-type=\"\" og-url=\"\" og-image=\"\" "
                           "og-image-alt=\"\" og-site-name=\"\" og-locale=\"\" twitter-card=\"\" "
                           "twitter-site=\"\" twitter-creator=\"\" isused=\"Y\"/>" +
                           QByteArray(kEmptyHead).replace("icon=\"\"", "icon=\"i.png\"") + " used=\"\"/>");
    }
    void writtenForm()
    {
        QFETCH(ProfileExtras, extras);
        QFETCH(QByteArray, file);
        const QByteArray written = profileBytes(arrayOf(kExampleValues), arrayOf(kExampleUsed), extras);
        QCOMPARE(written, file);

        // Read back whole; an older reader still takes the classic values.
        TOvStringArray values = marked(u"old"_s);
        TOvStringArray used = marked(u"old"_s);
        ProfileExtras read = withHead(markedHead());
        QCOMPARE(readProfileBytes(written, values, used, &read), ReadOutcome::Accepted);
        QCOMPARE(read, extras);
        QCOMPARE(values.toList(), kExampleValues);
        const test::OlderRead older = readAsOlderVersion(written);
        QCOMPARE(older.error, QString());
        QCOMPARE(older.values, kExampleValues);
        QCOMPARE(older.used, kExampleUsed);
    }

    void valuesSurviveAsTyped()
    {
        // Stored as typed, refused values and control characters included:
        // a profile keeps what the window holds.
        const HeadValues head = headOf({{Viewport, u"a \"b\" <c> & \n\t\x01"_s},
                                        {Canonical, u"not an address"_s},
                                        {Alternates, u"de=https://e.org/de/\nfr=https://e.org/fr/"_s},
                                        {Language, u"Grüße"_s}},
                                       {Alternates, Icon, ThemeColor});
        TOvStringArray values;
        TOvStringArray used;
        ProfileExtras read;
        QCOMPARE(readProfileBytes(profileBytes(values, used, withHead(head)), values, used, &read),
                 ReadOutcome::Accepted);
        QCOMPARE(read.head, head);
    }

    void refusedElements_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("error"); // empty: refused as not a profile
        QTest::addRow("unknown attribute") << exampleWith(headElement("", " robots=\"x\"")) << QString();
        QTest::addRow("unknown key among the ticks")
            << exampleWith(headElement("viewport robots")) << QString();
        QTest::addRow("a field without a tick among the ticks")
            << exampleWith(headElement("logo")) << QString();
        QTest::addRow("second head element") << exampleWith(headElement("") + headElement("")) << QString();
        const QString conversion = u"Could not convert variant of type (Null) into type (String)"_s;
        QTest::addRow("used left out") << exampleWith(kEmptyHead + "/>") << conversion;
        QTest::addRow("a field left out")
            << exampleWith(headElement("").replace(" logo=\"\"", "")) << conversion;
    }
    void refusedElements()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, error);
        TOvStringArray values = marked(u"old"_s);
        TOvStringArray used = marked(u"used"_s);
        ProfileExtras extras = withHead(markedHead());
        if (error.isEmpty())
            QCOMPARE(readProfileBytes(file, values, used, &extras), ReadOutcome::NotAProfile);
        else
            QCOMPARE(errorOf([&] { readProfileBytes(file, values, used, &extras); }), error);
        QCOMPARE(values, marked(u"old"_s));
        QCOMPARE(used, marked(u"used"_s));
        QCOMPARE(extras.head, markedHead());
        QCOMPARE(readAsOlderVersion(file).values, kExampleValues);
    }

    void workflowCarriesTheHeadValues()
    {
        InputsView view;
        ProfileWorkflow workflow(view);
        workflow.ResetProfile();
        QVERIFY(!workflow.TestModified());
        view.head = headOf({{ThemeColor, u"navy"_s}}, {ThemeColor});
        QVERIFY(workflow.TestModified());

        QTemporaryDir dir;
        const QString path = dir.filePath(u"h.wmp"_s);
        workflow.CaptureInputs();
        workflow.writeProfile(path);
        QVERIFY(!workflow.TestModified());

        workflow.ResetProfile();
        QCOMPARE(view.head, HeadValues{});
        QCOMPARE(workflow.openProfileFile(path), ReadOutcome::Accepted);
        QCOMPARE(view.head, headOf({{ThemeColor, u"navy"_s}}, {ThemeColor}));
        QVERIFY(!workflow.TestModified());
        view.head.used[ThemeColor] = false;
        QVERIFY(workflow.TestModified());
    }
};

QTEST_GUILESS_MAIN(TestHeadProfile)
#include "tst_headprofile.moc"
