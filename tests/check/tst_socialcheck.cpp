// The checker's rules on the social card tags, in pages, on the command
// line and in the Check window, which follows the Social Cards window.

#include "app/appwindows.h"
#include "check/checker.h"
#include "check/pagecheck.h"
#include "check/textmeasure.h"
#include "common/clirun.h"
#include "common/fakedialogs.h"
#include "ui/checkwindow.h"
#include "ui/mainwindow.h"
#include "ui/socialcards.h"
#include "ui/taginputs.h"
#include "ui/tagsviewer.h"
#include "widgets/tagchecklist.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;
using namespace brindle;
using namespace brindle::check;

namespace {

// A page that passes every rule but those on its extra lines, from line 6 on.
QByteArray pageWith(const QByteArray &extra)
{
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head><meta name=\"viewport\" "
           "content=\"width=device-width\">\n"
           "<title>Fish and Chips in Leeds</title>\n"
           "<meta name=\"description\" content=\"Fresh fish and hand-cut chips, fried to order every day "
           "from eleven in the morning.\">\n" +
           extra + "\n</head>\n<body><p>Open daily.</p></body>\n</html>\n";
}

QStringList findingsOf(const QByteArray &page)
{
    QStringList found;
    const PageReport report = checkPageBytes(page, FontMeasure::liberationSans(), u"p.html"_s);
    for (const Finding &f : report.findings)
        found << u"%1@%2:%3 %4 %5"_s.arg(f.rule)
                     .arg(f.at.line)
                     .arg(f.at.column)
                     .arg(levelName(f.level), f.message);
    return found;
}

QStringList column(const QTreeWidget *list, int col)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(col);
    return texts;
}

const QByteArray kImage = "<meta property=\"og:image\" content=\"https://example.org/c.png\">";

} // namespace

class TestSocialCheck : public QObject
{
    Q_OBJECT

private slots:
    void rules_data()
    {
        QTest::addColumn<QByteArray>("extra");
        QTest::addColumn<QStringList>("findings");
        QTest::addRow("no social tag, no finding") << QByteArray() << QStringList{};
        QTest::addRow("a card with a picture")
            << "<meta property=\"og:title\" content=\"Fish and Chips\">\n" + kImage << QStringList{};
        QTest::addRow("no og:image: at the first social tag")
            << QByteArray("<meta name=\"robots\" content=\"index\">\n<meta property=\"og:type\" "
                          "content=\"website\">\n"
                          "<meta name=\"twitter:card\" content=\"summary\">")
            << QStringList{
                   u"social-image-missing@7:1 warning social card tags but no og:image: the card of a "
                   u"shared link shows no picture"_s};
        QTest::addRow("a Twitter card tag alone, by property")
            << QByteArray("<meta property=\"TWITTER:site\" content=\"@s\">")
            << QStringList{
                   u"social-image-missing@6:1 warning social card tags but no og:image: the card of a "
                   u"shared link shows no picture"_s};
        QTest::addRow("an empty og:image is none")
            << QByteArray("<meta property=\"og:image\" content=\" \">")
            << QStringList{
                   u"social-image-missing@6:1 warning social card tags but no og:image: the card of a "
                   u"shared link shows no picture"_s};
        QTest::addRow("og:image written with name counts")
            << QByteArray(kImage).replace("property", "name") << QStringList{};
        QTest::addRow("og:title of 61 characters")
            << "<meta property=\"og:title\" content=\"" + QByteArray(61, 'a') + "\">\n" + kImage
            << QStringList{u"social-title-length@6:1 warning og:title is 61 characters; cards cut it after "
                           u"about 60"_s};
        QTest::addRow("og:title of 60 characters, blanks collapsed")
            << "<meta property=\"og:title\" content=\"  " + QByteArray(30, 'a') + "    " +
                   QByteArray(29, 'b') + "  \">\n" + kImage
            << QStringList{};
        QTest::addRow("only the first og:title counts")
            << "<meta property=\"og:title\" content=\"Short\">\n<meta property=\"og:title\" content=\"" +
                   QByteArray(80, 'a') + "\">\n" + kImage
            << QStringList{};
        QTest::addRow("relative og:image")
            << QByteArray("<meta property=\"og:image\" content=\"img/card.png\">")
            << QStringList{
                   u"social-image-address@6:1 error og:image \"img/card.png\" is not an absolute http:// "
                   u"or https:// address; networks cannot fetch the picture"_s};
        QTest::addRow("scheme-relative twitter:image beside a good og:image")
            << kImage + "\n<meta name=\"twitter:image\" content=\"//cdn.example.org/c.png\">"
            << QStringList{
                   u"social-image-address@7:1 error twitter:image \"//cdn.example.org/c.png\" is not an "
                   u"absolute http:// or https:// address; networks cannot fetch the picture"_s};
        QTest::addRow("other properties are no social tags")
            << QByteArray(
                   "<meta property=\"article:author\" content=\"x\">\n<meta name=\"ogle\" content=\"y\">")
            << QStringList{};
    }
    void rules()
    {
        QFETCH(QByteArray, extra);
        QTEST(findingsOf(pageWith(extra)), "findings");
    }

    void rulesAreListed()
    {
        for (const char16_t *id : {u"social-image-missing", u"social-title-length", u"social-image-address"})
            QVERIFY2(findRule(id), qPrintable(QString::fromUtf16(id)));
        QCOMPARE(findRule(u"social-image-address")->level, Level::Error);
    }

    void commandLine()
    {
        QTemporaryDir dir;
        const QString page = dir.filePath(u"p.html"_s);
        QFile f(page);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(pageWith("<meta property=\"og:image\" content=\"card.png\">"));
        f.close();
        const test::CliRun r = test::runCli({u"check"_s, page});
        QCOMPARE(r.status, 1); // an error
        QCOMPARE(r.out, (page + u":6:1: error: og:image \"card.png\" is not an absolute http:// or https:// "
                                u"address; networks cannot fetch the picture [social-image-address]\n"_s)
                            .toUtf8());
    }

    void checkWindowFollowsTheSocialCards()
    {
        test::FakeDialogs fake;
        std::unique_ptr<ui::Tovalinform> main = app::createWindows();
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
        static_cast<QLineEdit *>(main->input(tags::Title))->setText(u"Fish and Chips in Leeds"_s);
        static_cast<QLineEdit *>(main->input(tags::Description))
            ->setText(u"Fresh fish and hand-cut chips, fried to order every day from eleven."_s);
        main->tagList()->SetRowChecked(tags::listRowOfTag(tags::Title), true);
        main->tagList()->SetRowChecked(tags::listRowOfTag(tags::Description), true);
        app::windows().fview->findChild<QMenu *>(u"popht"_s)->findChild<QAction *>(u"Check1"_s)->trigger();
        const QTreeWidget *list = app::windows().checkWindow->list();
        QCOMPARE(column(list, 2), QStringList{u"No findings."_s});

        // Ticked in the Social Cards window: og:title and og:description
        // lines from the fallback, and no picture.
        main->findChild<QAction *>(u"SocialCards1"_s)->trigger();
        ui::SocialCardsWindow *social = main->socialCardsWindow();
        social->useBox()->setChecked(true);
        QCOMPARE(column(list, 3), QStringList{u"social-image-missing"_s});
        QCOMPARE(column(list, 1), QStringList{u"3"_s});

        // A relative picture, which "For HTML" would refuse, is named by its rule.
        social->lineEdit(tags::OgImage)->setText(u"card.png"_s);
        QCOMPARE(column(list, 3), QStringList{u"social-image-address"_s});
        social->lineEdit(tags::OgImage)->setText(u"https://example.org/card.png"_s);
        QCOMPARE(column(list, 2), QStringList{u"No findings."_s});

        // A profile flow that changes them is followed too.
        fake.answerNo();
        main->findChild<QAction *>(u"NewProfile1"_s)->trigger();
        QCOMPARE(column(list, 3), (QStringList{u"title-missing"_s, u"description-missing"_s}));
    }
};

QTEST_MAIN(TestSocialCheck)
#include "tst_socialcheck.moc"
