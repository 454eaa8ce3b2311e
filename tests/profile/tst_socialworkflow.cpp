// The social values in the profile flows: captured, compared, written,
// opened and reset together with the thirteen values and ticks.

#include "common/fakedialogs.h"
#include "common/testfiles.h"
#include "profile/inputsview.h"
#include "profile/profilefile.h"
#include "profile/profileworkflow.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brindle;
using namespace brindle::profile;
using namespace brindle::tags;

namespace {

struct Flow
{
    test::FakeDialogs fake;
    InputsView view;
    ProfileWorkflow workflow{view};
    QTemporaryDir dir;

    Flow() { workflow.ResetProfile(); }
    QString path(const QString &name) const { return dir.filePath(name); }
    void write(const QString &name, const QByteArray &bytes) const
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

QByteArray socialElement(const QByteArray &title, const QByteArray &used)
{
    return "<social og-title=\"" + title +
           "\" og-description=\"\" og-type=\"website\" og-url=\"\" og-image=\"\" og-image-alt=\"\" "
           "og-site-name=\"\" og-locale=\"\" twitter-card=\"\" twitter-site=\"\" twitter-creator=\"\" "
           "isused=\"" +
           used + "\"/>";
}

QByteArray exampleWith(const QByteArray &element)
{
    QByteArray file = test::kExampleProfile;
    file.insert(file.indexOf("</OvalinBrindleProfile>"), element);
    return file;
}

} // namespace

class TestSocialWorkflow : public QObject
{
    Q_OBJECT

private slots:
    void olderProfileIsWrittenBackByteForByte()
    {
        Flow f;
        f.write(u"old.wmp"_s, test::kExampleProfile);
        QVERIFY(f.workflow.openGivenFile(f.path(u"old.wmp"_s)));
        QCOMPARE(f.view.social, SocialValues());
        QVERIFY(!f.workflow.TestModified());
        f.workflow.btSaveClick();
        QCOMPARE(test::readFile(f.path(u"old.wmp"_s)), test::kExampleProfile);
        QVERIFY2(f.fake.problems().isEmpty(), qPrintable(f.fake.problems()));
    }

    void changeTestCoversTheSocialValues_data()
    {
        QTest::addColumn<int>("field"); // -1: the group's tick
        QTest::addRow("a value") << int(OgImage);
        QTest::addRow("the last field") << int(TwitterCreator);
        QTest::addRow("the tick") << -1;
    }
    void changeTestCoversTheSocialValues()
    {
        QFETCH(int, field);
        Flow f;
        f.write(u"s.wmp"_s, exampleWith(socialElement("T", "Y")));
        QVERIFY(f.workflow.openGivenFile(f.path(u"s.wmp"_s)));
        QVERIFY(!f.workflow.TestModified());
        const SocialValues opened = f.view.social;
        if (field < 0)
            f.view.social.used = false;
        else
            f.view.social[field] = u"x"_s;
        QVERIFY(f.workflow.TestModified());
        // Back as it was: no change.
        f.view.social = opened;
        QVERIFY(!f.workflow.TestModified());
    }

    void openAppliesAndSaveWritesTheSocialValues()
    {
        Flow f;
        f.write(u"s.wmp"_s, exampleWith(socialElement("Fish &amp; Chips", "Y")));
        QVERIFY(f.workflow.openGivenFile(f.path(u"s.wmp"_s)));
        QCOMPARE(f.view.social[OgTitle], u"Fish & Chips"_s);
        QCOMPARE(f.view.social[OgType], u"website"_s);
        QVERIFY(f.view.social.used);
        QCOMPARE(f.workflow.loadedSocial(), f.workflow.currentSocial());

        // Saved unchanged, the file is what was opened.
        f.workflow.btSaveClick();
        QCOMPARE(test::readFile(f.path(u"s.wmp"_s)), exampleWith(socialElement("Fish &amp; Chips", "Y")));

        // Emptied and unticked, the element goes.
        f.view.social = {};
        f.workflow.btSaveClick();
        QCOMPARE(test::readFile(f.path(u"s.wmp"_s)), test::kExampleProfile);
        QVERIFY(!f.workflow.TestModified());
    }

    void tickStoredOtherThanYCountsAsAChange()
    {
        // As with the thirteen ticks: "y" unticks, and the captured "N" differs.
        Flow f;
        f.write(u"s.wmp"_s, exampleWith(socialElement("T", "y")));
        QVERIFY(f.workflow.openGivenFile(f.path(u"s.wmp"_s)));
        QVERIFY(!f.view.social.used);
        QCOMPARE(f.workflow.loadedSocial().used, u"y"_s);
        QVERIFY(f.workflow.TestModified());
    }

    void newResetsTheSocialValues()
    {
        Flow f;
        f.view.social[OgSiteName] = u"Site"_s;
        f.view.social.used = true;
        f.fake.answerNo();
        f.workflow.btNewClick();
        QCOMPARE(f.view.social, SocialValues());
        QVERIFY(!f.workflow.TestModified());
        QVERIFY2(f.fake.problems().isEmpty(), qPrintable(f.fake.problems()));
    }

    void rejectedFileLeavesTheSocialValues()
    {
        Flow f;
        f.view.social[OgTitle] = u"Mine"_s;
        f.write(u"bad.wmp"_s, exampleWith(socialElement("T", "Y") + socialElement("U", "Y")));
        f.fake.answerNo(); // the social value is a change worth the prompt
        QVERIFY(!f.workflow.openGivenFile(f.path(u"bad.wmp"_s)));
        QCOMPARE(f.view.social[OgTitle], u"Mine"_s);
        QCOMPARE(f.workflow.loadedSocial(), SocialEntries());
        QCOMPARE(f.fake.kinds(), (QStringList{u"confirm"_s, u"information"_s}));
    }

    void saveAsReadsTheSocialValuesBack()
    {
        Flow f;
        f.view.social[OgLocale] = u"de_DE"_s;
        f.fake.chooseFile(f.path(u"b.wmp"_s));
        f.workflow.SaveProfileAs1Click();
        QCOMPARE(f.workflow.loadedSocial().values[OgLocale], u"de_DE"_s);
        QCOMPARE(f.workflow.loadedSocial().used, u"N"_s);
        QCOMPARE(f.view.social[OgLocale], u"de_DE"_s);
        QVERIFY(!f.workflow.TestModified());
        QVERIFY(test::readFile(f.path(u"b.wmp"_s)).contains("og-locale=\"de_DE\""));
    }

    void importedSocialValuesShowAsModified()
    {
        Flow f;
        ImportedInputs inputs;
        inputs.items = {-1, -1, -1, -1, -1, -1, 0, 0, 1, 0, 0, 28, 28};
        inputs.social[OgType] = u"article"_s;
        inputs.social.used = true;
        f.workflow.showImported(inputs);
        QCOMPARE(f.view.social, inputs.social);
        QVERIFY(f.workflow.TestModified());
    }
};

QTEST_GUILESS_MAIN(TestSocialWorkflow)
#include "tst_socialworkflow.moc"
