// Profiles opened from outside the window: named on the command line, handed
// over by a later copy of the program, or dropped on the window. All of them
// go through the Open flow.

#include "app/appwindows.h"
#include "app/commandline.h"
#include "app/profileopener.h"
#include "app/singleinstance.h"
#include "base/dialogs.h"
#include "common/fakedialogs.h"
#include "common/testfiles.h"
#include "profile/profilefile.h"
#include "ui/mainwindow.h"
#include "widgets/tagchecklist.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;
using namespace brindle;
using brindle::test::kExampleProfile;

namespace {

// Title "Shop", description "Tools", keywords ticked; charset item 17.
const QByteArray kShopProfile = "<OvalinBrindleProfile Author=\"OvalinBrindle\">"
                                "<tagname content=\"Shop\" isused=\"Y\"/>"
                                "<tagname content=\"Tools\" isused=\"N\"/>"
                                "<tagname content=\"\" isused=\"Y\"/>"
                                "<tagname content=\"\" isused=\"N\"/>"
                                "<tagname content=\"\" isused=\"N\"/>"
                                "<tagname content=\"\" isused=\"N\"/>"
                                "<tagname content=\"0\" isused=\"N\"/>"
                                "<tagname content=\"0\" isused=\"N\"/>"
                                "<tagname content=\"1\" isused=\"N\"/>"
                                "<tagname content=\"0\" isused=\"N\"/>"
                                "<tagname content=\"0\" isused=\"N\"/>"
                                "<tagname content=\"17\" isused=\"N\"/>"
                                "<tagname content=\"28\" isused=\"N\"/>"
                                "</OvalinBrindleProfile>";

struct App
{
    test::FakeDialogs fake;
    QTemporaryDir dir;
    std::unique_ptr<ui::Tovalinform> main = app::createWindows();
    app::ProfileOpener opener{main.get()};

    App()
    {
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
        write(u"home.wmp"_s, kExampleProfile);
        write(u"shop.wmp"_s, kShopProfile);
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    void write(const QString &name, const QByteArray &bytes)
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QString title() const { return main->tagText(0); }
    QLineEdit *titleEdit() const { return static_cast<QLineEdit *>(main->input(0)); }
    // Opens home.wmp as the running profile, with nothing asked.
    bool openHome()
    {
        opener.request(path(u"home.wmp"_s));
        return QTest::qWaitFor([this] { return title() == u"Home & garden"_s; }) && fake.shown().empty();
    }
};

bool sendDrop(QWidget *target, const QList<QUrl> &urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    mime.setText(urls.isEmpty() ? QString() : urls.front().toString());
    const QPoint pos = target->rect().center();
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

} // namespace

class TestOpenProfile : public QObject
{
    Q_OBJECT

private slots:
    void commandLineOpensTheProfile()
    {
        App a;
        // As main() does with the arguments after start-up.
        a.opener.request(app::profileArgument({u"/usr/bin/brindle"_s, u"--flag"_s, a.path(u"missing.wmp"_s),
                                               a.dir.path(), a.path(u"shop.wmp"_s)}));
        QVERIFY(a.opener.isWaiting()); // opened from the event loop, after the window shows
        QTRY_COMPARE(a.title(), u"Shop"_s);
        QCOMPARE(a.main->tagText(1), u"Tools"_s);
        QCOMPARE(a.main->choiceItem(11), 17);
        QCOMPARE(a.main->charsetCodeLabel()->text(), u"iso-8859-7"_s);
        QVERIFY(a.main->isRowChecked(1));
        QVERIFY(a.main->isRowChecked(4));
        QVERIFY(!a.main->isRowChecked(3));
        QCOMPARE(a.main->statusText(), u"Profile : shop"_s);
        QCOMPARE(a.main->workflow().ProfilePath(), a.path(u"shop.wmp"_s));
        QVERIFY(!a.main->workflow().ProfileUntitled());
        QVERIFY(a.fake.shown().empty());
        // The open dialog still starts without a name: the file was not chosen in it.
        QCOMPARE(a.main->workflow().odi().lastFile(), QString());
    }

    void noFileNoChange()
    {
        App a;
        a.opener.request(app::profileArgument({u"/usr/bin/brindle"_s, u"x"_s}));
        QVERIFY(!a.opener.isWaiting());
        QTest::qWait(50);
        QCOMPARE(a.main->statusText(), u"Profile : Untitled"_s);
        QVERIFY(a.fake.shown().empty());
    }

    void refusedFileChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addRow("not a profile")
            << QByteArray("<?xml version=\"1.0\"?>") + kShopProfile << u"information"_s
            << u"The file is not a valid meta tags profile data."_s;
        QTest::addRow("not well-formed") << QByteArray("<OvalinBrindleProfile>") << u"error"_s << QString();
        QTest::addRow("choice not a number") << QByteArray(kShopProfile).replace("\"17\"", "\"abc\"")
                                             << u"error"_s << u"'abc' is not a valid integer value."_s;
    }
    void refusedFileChangesNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, kind);
        QFETCH(QString, text);
        App a;
        QVERIFY(a.openHome());
        a.write(u"bad.wmp"_s, bytes);
        a.opener.request(a.path(u"bad.wmp"_s));
        QTRY_COMPARE(a.fake.kinds(), QStringList{kind});
        if (!text.isEmpty())
            QCOMPARE(a.fake.last().text, text);
        QCOMPARE(a.fake.last().caption, u"Brindle"_s);
        QCOMPARE(a.title(), u"Home & garden"_s);
        QCOMPARE(a.main->statusText(), u"Profile : home"_s);
        QCOMPARE(a.main->workflow().ProfilePath(), a.path(u"home.wmp"_s));
        QVERIFY(!a.main->workflow().TestModified());
    }

    void modifiedProfileIsOfferedForSavingFirst_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addRow("Yes saves it") << true;
        QTest::addRow("No leaves it") << false;
    }
    void modifiedProfileIsOfferedForSavingFirst()
    {
        QFETCH(bool, yes);
        App a;
        QVERIFY(a.openHome());
        a.titleEdit()->setText(u"Changed"_s);
        yes ? a.fake.answerYes() : a.fake.answerNo();
        a.opener.request(a.path(u"shop.wmp"_s));
        QTRY_COMPARE(a.title(), u"Shop"_s);
        QCOMPARE(a.fake.kinds(), QStringList{u"confirm"_s});
        QCOMPARE(a.fake.last().text, u"Do you want to save the changes to \"home\" ?"_s);
        profile::TOvStringArray values, used;
        QCOMPARE(profile::ReadProfile(a.path(u"home.wmp"_s), values, used), profile::ReadOutcome::Accepted);
        QCOMPARE(values[0], yes ? u"Changed"_s : u"Home & garden"_s);
        QVERIFY2(a.fake.problems().isEmpty(), qPrintable(a.fake.problems()));
    }

    void waitsForTheRunningActionAndModalWindows()
    {
        App a;
        // A request that arrives while a flow waits in one of its dialogs is
        // opened once that flow has ended, not inside it.
        guarded(a.main.get(), [&] {
            a.opener.request(a.path(u"shop.wmp"_s));
            QTest::qWait(3 * app::ProfileOpener::kRetryMs);
            QCOMPARE(a.title(), QString());
        });
        QTRY_COMPARE(a.title(), u"Shop"_s);

        QDialog modal(a.main.get());
        modal.setModal(true);
        modal.show();
        QTRY_VERIFY(QApplication::activeModalWidget() == &modal);
        a.opener.request(a.path(u"home.wmp"_s));
        QTest::qWait(3 * app::ProfileOpener::kRetryMs);
        QCOMPARE(a.title(), u"Shop"_s);
        modal.close();
        QTRY_COMPARE(a.title(), u"Home & garden"_s);
    }

    void laterCopyHandsItsProfileOver()
    {
        // A real second start of the program, with a profile named relative
        // to its own working folder, makes this window open it.
        App a;
        QVERIFY(a.openHome());
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        app::TOvRunOnce guard;
        guard.setInstanceName(u"BRINDLE"_s); // the program's own name
        QVERIFY(guard.load({QStringLiteral(BRINDLE_EXE)}));
        guard.setMainWindow(a.main.get());
        a.opener.openFromLaterCopies(guard);
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &other);

        QProcess later;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
        env.insert(u"XDG_CONFIG_HOME"_s, a.path(u"config"_s));
        later.setProcessEnvironment(env);
        later.setWorkingDirectory(a.dir.path());
        later.setProcessChannelMode(QProcess::ForwardedChannels);
        later.start(QStringLiteral(BRINDLE_EXE), {u"--flag"_s, u"shop.wmp"_s});
        // Waits for the hand-over while this thread answers it.
        QTRY_COMPARE_WITH_TIMEOUT(later.state(), QProcess::NotRunning, 10000);
        qputenv("XDG_RUNTIME_DIR", oldRuntime);
        QCOMPARE(later.exitStatus(), QProcess::NormalExit);
        QCOMPARE(later.exitCode(), 0);
        QTRY_COMPARE(a.title(), u"Shop"_s);
        QCOMPARE(a.main->workflow().ProfilePath(), a.path(u"shop.wmp"_s));
        QTRY_COMPARE(QApplication::activeWindow(), a.main.get());
        QVERIFY(a.fake.shown().empty());
    }

    void laterCopyWithoutFileChangesNothing()
    {
        App a;
        app::TOvRunOnce guard;
        guard.setInstanceName(u"BRINDLE-NOFILE-%1"_s.arg(QCoreApplication::applicationPid()));
        QVERIFY(guard.load({u"/first"_s}));
        a.opener.openFromLaterCopies(guard);
        emit guard.OnOtherInstance(&guard, 2, {u"/second"_s, u"--flag"_s, a.path(u"missing.wmp"_s)});
        QVERIFY(!a.opener.isWaiting());
        QTest::qWait(50);
        QCOMPARE(a.main->statusText(), u"Profile : Untitled"_s);
    }

    void drop_data()
    {
        QTest::addColumn<QString>("target"); // object name, empty for the window
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("opens");
        QTest::addRow("on the window") << QString() << QStringList{u"shop.wmp"_s} << true;
        QTest::addRow("on an input, not as text") << u"eDescription"_s << QStringList{u"shop.wmp"_s} << true;
        QTest::addRow("extension in capitals") << QString() << QStringList{u"SHOP.WMP"_s} << true;
        QTest::addRow("another kind of file") << QString() << QStringList{u"notes.txt"_s} << false;
        QTest::addRow("two profiles") << QString() << QStringList{u"shop.wmp"_s, u"home.wmp"_s} << false;
    }
    void drop()
    {
        QFETCH(QString, target);
        QFETCH(QStringList, files);
        QFETCH(bool, opens);
        App a;
        a.write(u"SHOP.WMP"_s, kShopProfile);
        a.write(u"notes.txt"_s, kShopProfile);
        QList<QUrl> urls;
        for (const QString &file : files)
            urls << QUrl::fromLocalFile(a.path(file));
        QWidget *widget = target.isEmpty() ? a.main.get() : a.main->findChild<QWidget *>(target);
        QVERIFY(widget);
        const QString descriptionBefore = a.main->tagText(1);
        QCOMPARE(sendDrop(widget, urls), opens);
        QTest::qWait(50);
        QTRY_COMPARE(a.title(), opens ? u"Shop"_s : QString());
        if (opens)
            QCOMPARE(a.main->tagText(1), u"Tools"_s);
        else
            QCOMPARE(a.main->tagText(1), descriptionBefore);
        QVERIFY(a.fake.shown().empty());
    }
};

QTEST_MAIN(TestOpenProfile)
#include "tst_openprofile.moc"
