#include "base/error.h"
#include "base/textutil.h"
#include "common/fakedialogs.h"
#include "common/profilearrays.h"
#include "common/testfiles.h"
#include "profile/inputsview.h"
#include "profile/profilefile.h"
#include "profile/profileworkflow.h"
#include "tags/tagcatalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

using namespace Qt::StringLiterals;
using brindle::test::arrayOf;
using namespace brindle;
using namespace brindle::profile;
using namespace brindle::tags;

namespace {

// The main window's inputs and check list, as plain data, and what the user does with them.
class FakeView final : public InputsView
{
public:
    // What the user does.
    void type(int tagIndex, const QString &text)
    {
        texts.at(std::size_t(tagIndex)) = text;
        if (tagIndex >= kTextTagCount) {
            int found = -1;
            const auto list = tagInfo(tagIndex).items;
            for (std::size_t i = 0; i < list.size(); ++i) {
                if (toQString(list[i]).startsWith(text))
                    found = int(i);
            }
            items.at(std::size_t(tagIndex)) = found;
        }
    }
    void tick(int tagIndex, bool on = true) { rows.at(std::size_t(listRowOfTag(tagIndex))) = on; }
    bool ticked(int tagIndex) const { return rows.at(std::size_t(listRowOfTag(tagIndex))); }
};

const QStringList kDefaultValues = {{},     {},     {},     {},     {},      {},     u"0"_s,
                                    u"0"_s, u"1"_s, u"0"_s, u"0"_s, u"28"_s, u"28"_s};
const QStringList kNoTicks(13, u"N"_s);

// Everything the workflow and the window hold, to prove that a step changed nothing.
struct Snapshot
{
    std::array<QString, kTagCount> texts;
    std::array<int, kTagCount> items;
    std::array<bool, kRowCount> rows;
    QString status;
    QStringList loadedValues, loadedUsed;
    QString name, path;
    bool untitled;

    bool operator==(const Snapshot &) const = default;
};

} // namespace

class TestProfileWorkflow : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<test::FakeDialogs> m_dialogs;
    std::unique_ptr<FakeView> m_view;
    std::unique_ptr<ProfileWorkflow> m_flow;

    QString file(const QString &name) const { return m_dir->filePath(name); }
    test::FakeDialogs &dialogs() { return *m_dialogs; }
    FakeView &view() { return *m_view; }
    ProfileWorkflow &flow() { return *m_flow; }

    // A profile file with the defaults, a title and the title's tick.
    QString makeProfile(const QString &name, const QString &title, QStringList values = kDefaultValues,
                        QStringList used = kNoTicks)
    {
        values[Title] = title;
        used[Title] = u"Y"_s;
        const QString path = file(name);
        WriteProfile(arrayOf(values), arrayOf(used), path);
        return path;
    }
    void open(const QString &path)
    {
        dialogs().chooseFile(path);
        flow().btOpenClick();
        dialogs().clear();
    }
    // Runs a flow as the window does: an error ends up in the general error report.
    void run(void (ProfileWorkflow::*flowStep)())
    {
        guarded(nullptr, [&] { (flow().*flowStep)(); });
    }
    bool close()
    {
        bool mayClose = false;
        guarded(nullptr, [&] { mayClose = flow().FormClose(); });
        return mayClose;
    }
    Snapshot snapshot() const
    {
        return {m_view->texts,
                m_view->items,
                m_view->rows,
                m_view->status,
                m_flow->LoadedValues().toList(),
                m_flow->LoadedUsed().toList(),
                m_flow->ProfileName(),
                m_flow->ProfilePath(),
                m_flow->ProfileUntitled()};
    }
    bool showsReset() const
    {
        for (int t = 0; t < kTextTagCount; ++t) {
            if (!m_view->texts[std::size_t(t)].isEmpty())
                return false;
        }
        return m_view->items[RevisitAfter] == 1 && m_view->items[Charset] == 28 &&
               m_view->rows == std::array<bool, kRowCount>{} && m_view->status == u"Profile : Untitled"_s &&
               m_flow->ProfileUntitled();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_dialogs = std::make_unique<test::FakeDialogs>();
        m_view = std::make_unique<FakeView>();
        m_flow = std::make_unique<ProfileWorkflow>(*m_view);
        m_flow->ResetProfile(); // as the window's creation does
    }
    void cleanup()
    {
        const QString problems = m_dialogs->problems();
        m_flow.reset();
        m_view.reset();
        m_dialogs.reset();
        m_dir.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    void resetGivesANewProfile()
    {
        QCOMPARE(view().status, u"Profile : Untitled"_s);
        QCOMPARE(view().texts[Distribution], u"Global"_s);
        QCOMPARE(view().texts[RevisitAfter], u"7 days"_s);
        QCOMPARE(view().texts[ContentLanguage], u"English"_s);
        QCOMPARE(flow().LoadedValues().toList(), kDefaultValues);
        QCOMPARE(flow().LoadedUsed().toList(), kNoTicks);
        QCOMPARE(flow().CurrentValues().toList(), QStringList(13, QString()));
        QCOMPARE(flow().CurrentUsed().toList(), kNoTicks);
        QVERIFY(!flow().TestModified());
    }

    void closeAsksNothingWithoutChanges_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addRow("right after start-up") << u"start"_s;
        QTest::addRow("right after New that discarded changes") << u"new"_s;
        QTest::addRow("text typed and deleted") << u"type-delete"_s;
        QTest::addRow("row ticked and unticked") << u"tick-untick"_s;
        QTest::addRow("choice changed and changed back") << u"choice-back"_s;
        QTest::addRow("right after saving an untitled profile") << u"save"_s;
        QTest::addRow("right after opening a profile") << u"open"_s;
    }
    void closeAsksNothingWithoutChanges()
    {
        QFETCH(QString, before);
        if (before == u"new"_s) {
            view().type(Title, u"draft"_s);
            dialogs().answerNo();
            run(&ProfileWorkflow::btNewClick);
            QVERIFY(showsReset());
        } else if (before == u"type-delete"_s) {
            view().type(Keywords, u"k"_s);
            view().type(Keywords, QString());
        } else if (before == u"tick-untick"_s) {
            view().tick(Robots);
            view().tick(Robots, false);
        } else if (before == u"choice-back"_s) {
            view().setChoiceItem(Rating, 3);
            view().setChoiceItem(Rating, 0);
        } else if (before == u"save"_s) {
            view().type(Title, u"kept"_s);
            dialogs().chooseFile(file(u"s.wmp"_s));
            run(&ProfileWorkflow::btSaveClick);
        } else if (before == u"open"_s) {
            open(makeProfile(u"a.wmp"_s, u"A"_s));
        }
        dialogs().clear();
        QVERIFY(close());
        QCOMPARE(dialogs().kinds(), QStringList());
    }

    void promptNamesTheProfileAndYesWritesToItsFile()
    {
        const QString shop = makeProfile(u"shop.wmp"_s, u"Shop"_s);
        open(shop);
        view().type(Title, u"Shop, new"_s);
        dialogs().answerYes();
        run(&ProfileWorkflow::btNewClick);
        QCOMPARE(dialogs().kinds(), QStringList{u"confirm"_s});
        QCOMPARE(dialogs().last().caption, u"Brindle"_s);
        QCOMPARE(dialogs().last().text, u"Do you want to save the changes to \"shop\" ?"_s);
        QVERIFY(brindle::test::readFile(shop).contains("content=\"Shop, new\""));
        QVERIFY(showsReset());
    }

    void newFlow_data()
    {
        QTest::addColumn<bool>("titled");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QString>("answers"); // y/n for the prompt, f/c for the save dialog
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<bool>("written");
        QTest::addColumn<bool>("reset");
        const QStringList promptOnly{u"confirm"_s};
        const QStringList promptAndSave{u"confirm"_s, u"save"_s};
        QTest::addRow("unchanged: reset, nothing asked")
            << false << false << u""_s << QStringList() << false << true;
        QTest::addRow("changed, No: reset unsaved") << false << true << u"n"_s << promptOnly << false << true;
        QTest::addRow("untitled, Yes, file chosen: saved and reset")
            << false << true << u"yf"_s << promptAndSave << true << true;
        QTest::addRow("untitled, Yes, dialog cancelled: nothing reset")
            << false << true << u"yc"_s << promptAndSave << false << false;
        QTest::addRow("titled, Yes: saved without a dialog, reset")
            << true << true << u"y"_s << promptOnly << true << true;
        QTest::addRow("titled, No: reset unsaved") << true << true << u"n"_s << promptOnly << false << true;
    }
    void newFlow()
    {
        QFETCH(bool, titled);
        QFETCH(bool, changed);
        QFETCH(QString, answers);
        QFETCH(QStringList, asked);
        QFETCH(bool, written);
        QFETCH(bool, reset);
        const QString target = titled ? makeProfile(u"t.wmp"_s, u"T"_s) : file(u"new.wmp"_s);
        if (titled)
            open(target);
        const QByteArray before = brindle::test::readFile(target);
        if (changed)
            view().type(Owner, u"me"_s);
        for (QChar a : answers) {
            if (a == u'y')
                dialogs().answerYes();
            else if (a == u'n')
                dialogs().answerNo();
            else if (a == u'f')
                dialogs().chooseFile(target);
            else
                dialogs().cancelFile();
        }
        const Snapshot state = snapshot();
        run(&ProfileWorkflow::btNewClick);
        QCOMPARE(dialogs().kinds(), asked);
        QCOMPARE(brindle::test::readFile(target).contains("content=\"me\""), written);
        if (!written)
            QCOMPARE(brindle::test::readFile(target), before);
        if (reset)
            QVERIFY(showsReset());
        else
            QVERIFY(snapshot() == state);
    }

    void openShowsTheFile()
    {
        QStringList values = kDefaultValues;
        values[Description] = u"D"_s;
        values[Robots] = u"3"_s;
        QStringList used = kNoTicks;
        used[Robots] = u"Y"_s;
        const QString path = makeProfile(u"garden.wmp.wmp"_s, u"Home & garden"_s, values, used);
        dialogs().chooseFile(path);
        run(&ProfileWorkflow::btOpenClick);
        QCOMPARE(dialogs().kinds(), QStringList{u"open"_s});
        QCOMPARE(dialogs().last().caption, u"Open Meta Tags Profile"_s);
        QCOMPARE(dialogs().last().options.filterName, u"Meta Tags Profile"_s);
        QCOMPARE(dialogs().last().options.pattern, u"*.wmp"_s);
        QCOMPARE(dialogs().last().options.defaultSuffix, u"wmp"_s);
        QVERIFY(!dialogs().last().options.confirmOverwrite);
        QCOMPARE(view().texts[Title], u"Home & garden"_s);
        QCOMPARE(view().texts[Description], u"D"_s);
        QCOMPARE(view().texts[Robots], u"noindex,nofollow"_s);
        QVERIFY(view().ticked(Title) && view().ticked(Robots) && !view().ticked(Description));
        QCOMPARE(view().status, u"Profile : garden"_s);
        QCOMPARE(flow().ProfilePath(), path);
        QVERIFY(!flow().ProfileUntitled());
        QCOMPARE(flow().CurrentValues(), flow().LoadedValues());
        QCOMPARE(flow().CurrentUsed(), flow().LoadedUsed());

        // The dialog opens with the name chosen last.
        dialogs().clear();
        dialogs().cancelFile();
        run(&ProfileWorkflow::btOpenClick);
        QCOMPARE(dialogs().last().text, path);
    }

    void openWithChanges_data()
    {
        QTest::addColumn<QString>("answers");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<bool>("saved");
        QTest::addRow("No: straight to the open dialog")
            << u"n"_s << QStringList{u"confirm"_s, u"open"_s} << false;
        QTest::addRow("Yes, file chosen: saved, then opened")
            << u"yf"_s << QStringList{u"confirm"_s, u"save"_s, u"open"_s} << true;
        QTest::addRow("Yes, save cancelled: the open dialog still shows")
            << u"yc"_s << QStringList{u"confirm"_s, u"save"_s, u"open"_s} << false;
    }
    void openWithChanges()
    {
        QFETCH(QString, answers);
        QFETCH(QStringList, asked);
        QFETCH(bool, saved);
        const QString other = makeProfile(u"other.wmp"_s, u"Other"_s);
        view().type(Title, u"unsaved"_s);
        if (answers == u"n"_s) {
            dialogs().answerNo();
        } else {
            dialogs().answerYes();
            if (answers == u"yf"_s)
                dialogs().chooseFile(file(u"draft"_s));
            else
                dialogs().cancelFile();
        }
        dialogs().chooseFile(other);
        run(&ProfileWorkflow::btOpenClick);
        QCOMPARE(dialogs().kinds(), asked);
        QCOMPARE(QFile::exists(file(u"draft.wmp"_s)), saved); // the default extension was added
        if (saved)
            QVERIFY(brindle::test::readFile(file(u"draft.wmp"_s)).contains("content=\"unsaved\""));
        QCOMPARE(view().texts[Title], u"Other"_s);
        QCOMPARE(view().status, u"Profile : other"_s);
    }

    void failedOrRejectedOpenChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QString>("shown");
        const QByteArray root = "<OvalinBrindleProfile Author=\"OvalinBrindle\">";
        QTest::addRow("rejected: leading declaration")
            << "<?xml version=\"1.0\"?>" + root + "</OvalinBrindleProfile>"
            << QStringList{u"open"_s, u"information"_s}
            << u"The file is not a valid meta tags profile data."_s;
        QTest::addRow("not well-formed")
            << root << QStringList{u"open"_s, u"error"_s}
            << u"Premature end of document.\r\nLine: 1\r\ninBrindleProfile Author=\"OvalinBrindle\">."_s;
        // Mended: the half-read entries do not become the change test's baseline.
        QTest::addRow("node without attributes after two entries")
            << root + "<tagname content=\"X\" isused=\"Y\"/><tagname content=\"Y\" isused=\"Y\"/><!-- c -->"
                      "</OvalinBrindleProfile>"
            << QStringList{u"open"_s, u"error"_s}
            << u"Could not convert variant of type (Null) into type (String)."_s;
        // Mended: every choice entry is checked before any input changes.
        QTest::addRow("choice entry that is not an integer")
            << root + "<tagname content=\"New title\" isused=\"Y\"/><tagname content=\"\" isused=\"Y\"/>"
                      "<tagname content=\"\" isused=\"N\"/><tagname content=\"\" isused=\"N\"/>"
                      "<tagname content=\"\" isused=\"N\"/><tagname content=\"\" isused=\"N\"/>"
                      "<tagname content=\"2\" isused=\"Y\"/><tagname content=\"3\" isused=\"N\"/>"
                      "<tagname content=\"4\" isused=\"N\"/><tagname content=\"1\" isused=\"N\"/>"
                      "<tagname content=\"abc\" isused=\"N\"/><tagname content=\"0\" isused=\"Y\"/>"
                      "<tagname content=\"0\" isused=\"N\"/></OvalinBrindleProfile>"
            << QStringList{u"open"_s, u"error"_s} << u"'abc' is not a valid integer value."_s;
    }
    void failedOrRejectedOpenChangesNothing()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QStringList, asked);
        QFETCH(QString, shown);
        open(makeProfile(u"shop.wmp"_s, u"Shop"_s));
        const QString bad = file(u"bad.wmp"_s);
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(contents);
        f.close();

        const Snapshot state = snapshot();
        dialogs().chooseFile(bad);
        run(&ProfileWorkflow::btOpenClick);
        QCOMPARE(dialogs().kinds(), asked);
        QCOMPARE(dialogs().last().caption, u"Brindle"_s);
        QCOMPARE(dialogs().last().text, shown);
        QVERIFY(snapshot() == state);
        QVERIFY(!flow().TestModified());

        // The save target is still the old file.
        view().type(Keywords, u"k"_s);
        run(&ProfileWorkflow::btSaveClick);
        QVERIFY(brindle::test::readFile(file(u"shop.wmp"_s)).contains("content=\"k\""));
    }

    void openGivenFile_data()
    {
        QTest::addColumn<QString>("answers"); // as openWithChanges; empty: nothing changed
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<bool>("saved");
        QTest::addRow("unchanged: opened without a question") << QString() << QStringList{} << false;
        QTest::addRow("changed, No") << u"n"_s << QStringList{u"confirm"_s} << false;
        QTest::addRow("changed, Yes, file chosen") << u"yf"_s << QStringList{u"confirm"_s, u"save"_s} << true;
        QTest::addRow("changed, Yes, save cancelled: still opened")
            << u"yc"_s << QStringList{u"confirm"_s, u"save"_s} << false;
    }
    void openGivenFile()
    {
        QFETCH(QString, answers);
        QFETCH(QStringList, asked);
        QFETCH(bool, saved);
        const QString other = makeProfile(u"other.wmp"_s, u"Other"_s);
        if (!answers.isEmpty())
            view().type(Title, u"unsaved"_s);
        if (answers == u"n"_s) {
            dialogs().answerNo();
        } else if (!answers.isEmpty()) {
            dialogs().answerYes();
            if (answers == u"yf"_s)
                dialogs().chooseFile(file(u"draft"_s));
            else
                dialogs().cancelFile();
        }
        bool accepted = false;
        guarded(nullptr, [&] { accepted = flow().openGivenFile(other); });
        QVERIFY(accepted);
        QCOMPARE(dialogs().kinds(), asked); // never the open dialog
        QCOMPARE(QFile::exists(file(u"draft.wmp"_s)), saved);
        QCOMPARE(view().texts[Title], u"Other"_s);
        QCOMPARE(view().status, u"Profile : other"_s);
        QCOMPARE(flow().ProfilePath(), other);
        QVERIFY(!flow().TestModified());
        // The open dialog keeps the name last chosen in it.
        QCOMPARE(flow().odi().lastFile(), QString());
    }

    void openGivenFileStopsAtAFailedSave()
    {
        // A titled profile whose folder has gone: saving it first fails, and
        // the given file is not opened.
        QTemporaryDir gone;
        const QString path = gone.filePath(u"p.wmp"_s);
        WriteProfile(arrayOf(kDefaultValues), arrayOf(kNoTicks), path);
        open(path);
        QVERIFY(gone.remove());
        const QString other = makeProfile(u"other.wmp"_s, u"Other"_s);
        view().type(Title, u"changed"_s);
        dialogs().answerYes();
        QVERIFY(!guarded(nullptr, [&] { flow().openGivenFile(other); }));
        QCOMPARE(dialogs().kinds(), (QStringList{u"confirm"_s, u"error"_s}));
        QCOMPARE(view().texts[Title], u"changed"_s);
        QCOMPARE(flow().ProfilePath(), path);
    }

    void rejectedGivenFileChangesNothing()
    {
        open(makeProfile(u"shop.wmp"_s, u"Shop"_s));
        const QString bad = file(u"bad.wmp"_s);
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<?xml version=\"1.0\"?><OvalinBrindleProfile/>");
        f.close();
        const Snapshot state = snapshot();
        bool accepted = true;
        QVERIFY(guarded(nullptr, [&] { accepted = flow().openGivenFile(bad); }));
        QVERIFY(!accepted);
        QCOMPARE(dialogs().kinds(), QStringList{u"information"_s});
        QCOMPARE(dialogs().last().text, u"The file is not a valid meta tags profile data."_s);
        QVERIFY(snapshot() == state);
    }

    void droppedProfile_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QString>("path");
        QTest::addRow("a profile") << QList<QUrl>{QUrl::fromLocalFile(u"/p/home.wmp"_s)} << u"/p/home.wmp"_s;
        QTest::addRow("capital extension")
            << QList<QUrl>{QUrl::fromLocalFile(u"/p/HOME.WMP"_s)} << u"/p/HOME.WMP"_s;
        QTest::addRow("another kind of file")
            << QList<QUrl>{QUrl::fromLocalFile(u"/p/home.txt"_s)} << QString();
        QTest::addRow("not a local file")
            << QList<QUrl>{QUrl(u"https://example.org/home.wmp"_s)} << QString();
        QTest::addRow("two files") << QList<QUrl>{QUrl::fromLocalFile(u"/p/a.wmp"_s),
                                                  QUrl::fromLocalFile(u"/p/b.wmp"_s)}
                                   << QString();
        QTest::addRow("nothing") << QList<QUrl>{} << QString();
    }
    void droppedProfile()
    {
        QFETCH(QList<QUrl>, urls);
        QFETCH(QString, path);
        QCOMPARE(droppedProfilePath(urls), path);
    }

    void openCancelledChangesNothing()
    {
        view().type(Author, u"a"_s);
        const Snapshot state = snapshot();
        dialogs().answerNo();
        dialogs().cancelFile();
        run(&ProfileWorkflow::btOpenClick);
        QCOMPARE(dialogs().kinds(), (QStringList{u"confirm"_s, u"open"_s}));
        QVERIFY(snapshot() == state);
    }

    void saveUntitledStaysUntitled()
    {
        view().type(Title, u"first"_s);
        dialogs().chooseFile(file(u"one.wmp"_s));
        run(&ProfileWorkflow::btSaveClick);
        QCOMPARE(dialogs().last().caption, u"Save Meta Tags Profile"_s);
        QVERIFY(dialogs().last().options.confirmOverwrite);
        QCOMPARE(dialogs().last().options.pattern, u"*.wmp"_s);
        QVERIFY(brindle::test::readFile(file(u"one.wmp"_s)).contains("content=\"first\""));
        QCOMPARE(view().status, u"Profile : Untitled"_s);
        QCOMPARE(flow().ProfileName(), u"Untitled"_s);
        QVERIFY(flow().ProfileUntitled());
        QVERIFY(!flow().TestModified()); // compared against what was saved

        // The next Save asks again, starting from the name chosen last.
        view().type(Title, u"second"_s);
        dialogs().clear();
        dialogs().cancelFile();
        run(&ProfileWorkflow::btSaveClick);
        QCOMPARE(dialogs().kinds(), QStringList{u"save"_s});
        QCOMPARE(dialogs().last().text, file(u"one.wmp"_s));
        QVERIFY(brindle::test::readFile(file(u"one.wmp"_s)).contains("content=\"first\""));
    }

    void saveTitledWritesWithoutDialog()
    {
        const QString path = makeProfile(u"t.wmp"_s, u"T"_s);
        open(path);
        view().type(Copyright, u"(c) me"_s);
        view().tick(Copyright);
        run(&ProfileWorkflow::btSaveClick);
        QCOMPARE(dialogs().kinds(), QStringList());
        const QByteArray bytes = brindle::test::readFile(path);
        QVERIFY(bytes.contains("<tagname content=\"(c) me\" isused=\"Y\"/>"));
        QVERIFY(!flow().TestModified());
    }

    void saveAsThenSaveWritesTheNewFile()
    {
        const QString a = makeProfile(u"a.wmp"_s, u"A"_s);
        open(a);
        const QByteArray aBefore = brindle::test::readFile(a);
        view().type(Title, u"typed"_s);
        dialogs().chooseFile(file(u"b"_s));
        run(&ProfileWorkflow::SaveProfileAs1Click);
        QCOMPARE(dialogs().kinds(), QStringList{u"save"_s}); // no change test, no prompt
        QCOMPARE(dialogs().last().caption, u"Save Meta Tags Profile As..."_s);
        QCOMPARE(flow().sadi().options().title, u"Save Meta Tags Profile"_s);
        const QString b = file(u"b.wmp"_s);
        QVERIFY(brindle::test::readFile(b).contains("content=\"typed\""));
        QCOMPARE(brindle::test::readFile(a), aBefore);
        QCOMPARE(view().texts[Title], u"typed"_s);
        QCOMPARE(view().status, u"Profile : b"_s);
        QCOMPARE(flow().ProfilePath(), b);
        QVERIFY(!flow().TestModified());

        view().type(Title, u"again"_s);
        dialogs().clear();
        run(&ProfileWorkflow::btSaveClick);
        QCOMPARE(dialogs().kinds(), QStringList());
        QVERIFY(brindle::test::readFile(b).contains("content=\"again\""));
        QCOMPARE(brindle::test::readFile(a), aBefore);

        view().type(Title, u"more"_s);
        dialogs().answerNo();
        QVERIFY(close());
        QCOMPARE(dialogs().last().text, u"Do you want to save the changes to \"b\" ?"_s);
    }

    void saveAsCancelledChangesNothing()
    {
        view().type(Title, u"x"_s);
        const Snapshot state = snapshot();
        dialogs().cancelFile();
        run(&ProfileWorkflow::SaveProfileAs1Click);
        QCOMPARE(dialogs().last().caption, u"Save Meta Tags Profile As..."_s);
        QVERIFY(snapshot() == state);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());

        dialogs().cancelFile();
        run(&ProfileWorkflow::btSaveClick);
        QCOMPARE(dialogs().last().caption, u"Save Meta Tags Profile"_s);
    }

    void closeFlow_data()
    {
        QTest::addColumn<bool>("titled");
        QTest::addColumn<QString>("answers");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<bool>("written");
        QTest::addColumn<bool>("mayClose");
        QTest::addRow("No: closes unsaved") << false << u"n"_s << QStringList{u"confirm"_s} << false << true;
        QTest::addRow("untitled, Yes, file chosen: saved, closes")
            << false << u"yf"_s << QStringList{u"confirm"_s, u"save"_s} << true << true;
        QTest::addRow("untitled, Yes, dialog cancelled: stays open")
            << false << u"yc"_s << QStringList{u"confirm"_s, u"save"_s} << false << false;
        QTest::addRow("titled, Yes: saved without a dialog, closes")
            << true << u"y"_s << QStringList{u"confirm"_s} << true << true;
    }
    void closeFlow()
    {
        QFETCH(bool, titled);
        QFETCH(QString, answers);
        QFETCH(QStringList, asked);
        QFETCH(bool, written);
        QFETCH(bool, mayClose);
        const QString target = titled ? makeProfile(u"t.wmp"_s, u"T"_s) : file(u"c.wmp"_s);
        if (titled)
            open(target);
        view().type(Description, u"unsaved"_s);
        for (QChar a : answers) {
            if (a == u'y')
                dialogs().answerYes();
            else if (a == u'n')
                dialogs().answerNo();
            else if (a == u'f')
                dialogs().chooseFile(target);
            else
                dialogs().cancelFile();
        }
        QCOMPARE(close(), mayClose);
        QCOMPARE(dialogs().kinds(), asked);
        QCOMPARE(brindle::test::readFile(target).contains("content=\"unsaved\""), written);
    }

    void failedWriteThrowsAndChangesNothing_data()
    {
        QTest::addColumn<QString>("flowName");
        QTest::addRow("New") << u"new"_s;
        QTest::addRow("Open") << u"open"_s;
        QTest::addRow("Save") << u"save"_s;
        QTest::addRow("Save Profile As") << u"saveas"_s;
        QTest::addRow("Close") << u"close"_s;
    }
    void failedWriteThrowsAndChangesNothing()
    {
        QFETCH(QString, flowName);
        // A titled profile whose folder has gone: the write fails.
        QTemporaryDir gone;
        const QString path = gone.filePath(u"p.wmp"_s);
        WriteProfile(arrayOf(kDefaultValues), arrayOf(kNoTicks), path);
        open(path);
        QVERIFY(gone.remove());
        view().type(Title, u"changed"_s);
        const Snapshot state = snapshot();

        bool mayClose = true;
        QString message;
        try {
            if (flowName == u"new"_s) {
                dialogs().answerYes();
                flow().btNewClick();
            } else if (flowName == u"open"_s) {
                dialogs().answerYes();
                flow().btOpenClick(); // the open dialog never shows
            } else if (flowName == u"save"_s) {
                flow().btSaveClick();
            } else if (flowName == u"saveas"_s) {
                dialogs().chooseFile(gone.filePath(u"q.wmp"_s));
                flow().SaveProfileAs1Click();
            } else {
                dialogs().answerYes();
                mayClose = flow().FormClose();
            }
        } catch (const Error &e) {
            message = e.message();
        }
        QCOMPARE(message, u"Path not found"_s);
        QVERIFY(mayClose);                                // not returned: the error keeps the window open
        QVERIFY(!dialogs().kinds().contains(u"error"_s)); // the window's guarded() reports it
        QVERIFY(!dialogs().kinds().contains(u"open"_s));
        QVERIFY(snapshot() == state);
        QCOMPARE(flow().sadi().options().title, u"Save Meta Tags Profile"_s);
        QVERIFY(flow().TestModified());
    }

    // Mended: values compared entry by entry, not joined.
    void changeSplitAcrossEntriesIsSeen()
    {
        QStringList values = kDefaultValues;
        values[Title] = u"AN"_s;
        const QString path = file(u"an.wmp"_s);
        WriteProfile(arrayOf(values), arrayOf(kNoTicks), path);
        open(path);
        QVERIFY(!flow().TestModified());
        view().type(Title, u"A"_s);
        view().type(Description, u"N"_s);
        QVERIFY(flow().TestModified());
        dialogs().answerNo();
        QVERIFY(close());
        QCOMPARE(dialogs().kinds(), QStringList{u"confirm"_s});
    }

    void loadedEntriesAsTheWindowShowsThem_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("modified"); // at once, as the entry is captured back differently
        QTest::addRow("empty selects item 0") << int(Rating) << QString() << 0 << u"General"_s << true;
        QTest::addRow("05 selects 5") << int(Charset) << u"05"_s << 5 << u"Central European (DOS)"_s << true;
        QTest::addRow("leading blanks and plus sign")
            << int(Robots) << u"  +2"_s << 2 << u"noindex,follow"_s << true;
        QTest::addRow("-1 selects nothing, empties the text")
            << int(Robots) << u"-1"_s << -1 << QString() << false;
        QTest::addRow("index past the list: nothing selected, text kept")
            << int(Distribution) << u"3"_s << -1 << u"Global"_s << true;
        QTest::addRow("negative index: nothing selected, text kept")
            << int(CacheControl) << u"-7"_s << -1 << u"Public"_s << true;
        QTest::addRow("last item") << int(ContentLanguage) << u"135"_s << 135 << u"Zulu"_s << false;
    }
    void loadedEntriesAsTheWindowShowsThem()
    {
        QFETCH(int, tag);
        QFETCH(QString, entry);
        QFETCH(int, item);
        QFETCH(QString, text);
        QFETCH(bool, modified);
        QStringList values = kDefaultValues;
        values[tag] = entry;
        open(makeProfile(u"e.wmp"_s, u"E"_s, values));
        QCOMPARE(view().items[std::size_t(tag)], item);
        QCOMPARE(view().texts[std::size_t(tag)], text);
        QCOMPARE(flow().CurrentValues()[tag], entry);
        QCOMPARE(flow().TestModified(), modified);
    }

    void tickOnlyForExactlyY()
    {
        QStringList used = {u"Y"_s, u"y"_s, u"yes"_s, QString(), u"N"_s, u" Y"_s};
        while (used.size() < 13)
            used << u"Y"_s;
        const QString path = file(u"ticks.wmp"_s);
        WriteProfile(arrayOf(kDefaultValues), arrayOf(used), path);
        open(path);
        QVERIFY(view().ticked(Title));
        for (int t : {Description, Keywords, Author, Copyright, Owner})
            QVERIFY2(!view().ticked(t), qPrintable(QString::number(t)));
        QVERIFY(view().ticked(ContentLanguage));
        QVERIFY(flow().TestModified()); // captured "N" against loaded "y"
    }

    // A choice text that its item index does not say is kept beside it: the
    // input shows it again as typed.
    void typedChoiceTextsSurviveSaveAndOpen_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("item");           // as typing leaves it
        QTest::addColumn<QByteArray>("element"); // its tagname in the file
        QTest::addRow("robots of no item")
            << int(Robots) << u"noindex, nofollow"_s << -1
            << QByteArray("<tagname content=\"-1\" isused=\"Y\" text=\"noindex, nofollow\"/>");
        QTest::addRow("distribution in other letter case")
            << int(Distribution) << u"global"_s << -1
            << QByteArray("<tagname content=\"-1\" isused=\"Y\" text=\"global\"/>");
        QTest::addRow("cache-control of two items")
            << int(CacheControl) << u"no-cache,no-store"_s << -1
            << QByteArray("<tagname content=\"-1\" isused=\"Y\" text=\"no-cache,no-store\"/>");
        QTest::addRow("charset label")
            << int(Charset) << u"windows-1252"_s << -1
            << QByteArray("<tagname content=\"-1\" isused=\"Y\" text=\"windows-1252\"/>");
        QTest::addRow("text that begins an item, beside the item it selects")
            << int(Robots) << u"noindex"_s << 3
            << QByteArray("<tagname content=\"3\" isused=\"Y\" text=\"noindex\"/>");
        QTest::addRow("markup escaped")
            << int(Rating) << u"\"teens\" & <up>"_s << -1
            << QByteArray("<tagname content=\"-1\" isused=\"Y\" text=\"&quot;teens&quot; &amp; &lt;up>\"/>");
    }
    void typedChoiceTextsSurviveSaveAndOpen()
    {
        QFETCH(int, tag);
        QFETCH(QString, typed);
        QFETCH(int, item);
        QFETCH(QByteArray, element);
        const auto t = std::size_t(tag);
        view().type(tag, typed);
        view().tick(tag);
        QCOMPARE(view().items[t], item);
        const QString path = file(u"r.wmp"_s);
        dialogs().chooseFile(path);
        run(&ProfileWorkflow::SaveProfileAs1Click);
        const QByteArray bytes = brindle::test::readFile(path);
        QVERIFY2(bytes.contains(element), bytes.constData());
        // Reopened by Save As, and again after a change: as typed.
        QCOMPARE(view().texts[t], typed);
        view().type(tag, u"other"_s);
        open(path);
        QCOMPARE(view().texts[t], typed);
        QCOMPARE(view().items[t], item);
        QVERIFY(!flow().TestModified());
        run(&ProfileWorkflow::btSaveClick);
        QCOMPARE(brindle::test::readFile(path), bytes);
    }

    // Where the item says it all, the profile is as it always was.
    void choiceOfAnItemIsTheIndexAlone()
    {
        view().type(Robots, u"noindex,nofollow"_s);
        view().tick(Robots);
        view().type(Charset, toQString(kCharsetItems[16]));
        dialogs().chooseFile(file(u"r.wmp"_s));
        run(&ProfileWorkflow::btSaveClick);
        QVERIFY(!brindle::test::readFile(file(u"r.wmp"_s)).contains("text="));
    }

    void choiceEntries_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("item"); // refused: 1000, past every list
        constexpr int refused = 1000;
        QTest::addRow("empty") << QString() << 0;
        QTest::addRow("digits") << u"28"_s << 28;
        QTest::addRow("leading zeros") << u"007"_s << 7;
        QTest::addRow("blanks and minus") << u"   -1"_s << -1;
        QTest::addRow("plus") << u"+4"_s << 4;
        QTest::addRow("largest int") << u"2147483647"_s << 2147483647;
        QTest::addRow("smallest int") << u"-2147483648"_s << -2147483647 - 1;
        QTest::addRow("trailing blank") << u"5 "_s << refused;
        QTest::addRow("letters") << u"abc"_s << refused;
        QTest::addRow("blank only") << u" "_s << refused;
        QTest::addRow("sign only") << u"-"_s << refused;
        QTest::addRow("two signs") << u"--1"_s << refused;
        QTest::addRow("blank after sign") << u"- 1"_s << refused;
        QTest::addRow("decimal point") << u"1.0"_s << refused;
        QTest::addRow("hexadecimal") << u"0x1A"_s << refused;
        QTest::addRow("tab is not a blank") << u"\t1"_s << refused;
        QTest::addRow("too large") << u"2147483648"_s << refused;
        QTest::addRow("far too large") << u"99999999999999999999"_s << refused;
        QTest::addRow("arabic-indic digit") << u"\u0663"_s << refused;
    }
    void choiceEntries()
    {
        QFETCH(QString, entry);
        QFETCH(int, item);
        if (item != 1000) {
            QCOMPARE(choiceItemOfEntry(entry), item);
            return;
        }
        try {
            choiceItemOfEntry(entry);
            QFAIL("accepted");
        } catch (const Error &e) {
            QCOMPARE(e.message(), u"'%1' is not a valid integer value"_s.arg(entry));
        }
    }

    void nameFromPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::addRow("extension removed") << u"/p/shop.wmp"_s << u"shop"_s;
        QTest::addRow("every occurrence") << u"/p/shop.wmp.wmp"_s << u"shop"_s;
        QTest::addRow("inside the name too") << u"/p/x.wmpold.wmp"_s << u"xold"_s;
        QTest::addRow("letter case counts") << u"/p/Shop.WMP"_s << u"Shop.WMP"_s;
        QTest::addRow("folder names kept out") << u"/a.wmp/b.wmp"_s << u"b"_s;
        QTest::addRow("other extension") << u"/p/x.xml"_s << u"x.xml"_s;
    }
    void nameFromPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(profileNameFromPath(path), name);
    }
};

QTEST_GUILESS_MAIN(TestProfileWorkflow)
#include "tst_profileworkflow.moc"
