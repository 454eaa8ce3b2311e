// What assistive technology finds in the real windows: a name for every
// control, and the tag check list's rows with their texts and ticks.

#include "app/appwindows.h"
#include "base/textutil.h"
#include "common/fakedialogs.h"
#include "tags/tagcatalogue.h"
#include "ui/aboutbox.h"
#include "ui/hintpopup.h"
#include "ui/mainwindow.h"
#include "ui/pagebuilderwindow.h"
#include "ui/socialcards.h"
#include "ui/tagsviewer.h"
#include "widgets/tagchecklist.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

using namespace Qt::StringLiterals;
using namespace brindle;
using brindle::widgets::TOvCheckList;

namespace {

// The controls a user acts on; each needs a name a screen reader can say.
bool isControl(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::List:
    case QAccessible::ListItem:
    case QAccessible::Link:
    case QAccessible::MenuItem:
    case QAccessible::Heading:
        return true;
    default:
        return false;
    }
}

QString describe(QAccessibleInterface *iface)
{
    QString path;
    for (QAccessibleInterface *i = iface; i; i = i->parent()) {
        const QObject *o = i->object();
        path.prepend(u"/"_s + (o && !o->objectName().isEmpty() ? o->objectName()
                                                               : QString::number(int(i->role()), 16)));
    }
    return path;
}

// Every visible control below iface that has no name.
void collectNameless(QAccessibleInterface *iface, QStringList &nameless, int &controls)
{
    if (!iface || !iface->isValid() || iface->state().invisible)
        return;
    if (isControl(iface->role())) {
        ++controls;
        // On Linux a combo box reports its value as its name and leaves the
        // name to its label; the name set on it serves the other platforms,
        // and its edit (walked below) carries the name here.
        const QString name = iface->role() == QAccessible::ComboBox
                                 ? static_cast<QWidget *>(iface->object())->accessibleName()
                                 : iface->text(QAccessible::Name);
        if (name.trimmed().isEmpty())
            nameless << describe(iface);
    }
    for (int i = 0; i < iface->childCount(); ++i)
        collectNameless(iface->child(i), nameless, controls);
}

std::vector<std::pair<QAccessible::Event, int>> g_events; // type, child
QAccessible::State g_lastChanged;

void recordEvent(QAccessibleEvent *event)
{
    g_events.emplace_back(event->type(), event->child());
    if (event->type() == QAccessible::StateChanged)
        g_lastChanged = static_cast<QAccessibleStateChangeEvent *>(event)->changedStates();
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

    test::FakeDialogs m_fake;
    std::unique_ptr<ui::Tovalinform> m_main;

    QAccessibleInterface *listInterface() { return QAccessible::queryAccessibleInterface(m_main->tagList()); }

private slots:
    void initTestCase()
    {
        QAccessible::installUpdateHandler(recordEvent);
        QPlatformAccessibility *platform = QGuiApplicationPrivate::platformIntegration()->accessibility();
        QVERIFY(platform);
        platform->setActive(true);
        QVERIFY(QAccessible::isActive());
        m_main = app::createWindows();
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    }
    void cleanupTestCase()
    {
        m_main.reset();
        QAccessible::installUpdateHandler(nullptr);
    }
    void init()
    {
        m_main->DeselectAll1Click();
        m_main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
        g_events.clear();
    }

    void everyControlHasAName_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addRow("main window") << u"ovalinform"_s;
        QTest::addRow("tags viewer") << u"fview"_s;
        QTest::addRow("web page builder") << u"fcreaht"_s;
        QTest::addRow("hint popup") << u"hintf"_s;
        QTest::addRow("about box") << u"finfo"_s;
        QTest::addRow("social cards") << u"fsocial"_s;
    }
    void everyControlHasAName()
    {
        QFETCH(QString, window);
        const app::AppWindows &w = app::windows();
        if (window == u"fsocial"_s && !m_main->socialCardsWindow()) {
            m_main->showSocialCards();
            m_main->socialCardsWindow()->hide();
        }
        QWidget *widget = window == u"fsocial"_s      ? static_cast<QWidget *>(m_main->socialCardsWindow())
                          : window == u"ovalinform"_s ? static_cast<QWidget *>(w.ovalinform)
                          : window == u"fview"_s      ? static_cast<QWidget *>(w.fview)
                          : window == u"fcreaht"_s    ? static_cast<QWidget *>(w.fcreaht)
                          : window == u"hintf"_s      ? static_cast<QWidget *>(w.hintf)
                                                      : static_cast<QWidget *>(w.finfo);
        const bool wasVisible = widget->isVisible();
        // Shown without their modal loops: only what is on show is walked.
        if (widget == w.hintf)
            w.hintf->showHint(1, w.ovalinform);
        else
            widget->show();
        QTRY_VERIFY(widget->isVisible());
        QStringList nameless;
        int controls = 0;
        collectNameless(QAccessible::queryAccessibleInterface(widget), nameless, controls);
        if (!wasVisible)
            widget->hide();
        QVERIFY(controls > 0);
        QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(u", "_s)));
    }

    void inputsAreNamedAfterTheirRows()
    {
        for (int t = 0; t < tags::kTagCount; ++t) {
            QWidget *input = m_main->input(t);
            const QString row = toQString(tags::tagInfo(t).rowText);
            QCOMPARE(input->accessibleName(), row);
            if (auto *combo = qobject_cast<QComboBox *>(input))
                input = combo->lineEdit();
            QCOMPARE(QAccessible::queryAccessibleInterface(input)->text(QAccessible::Name), row);
        }
    }

    void checkListShowsItsSixteenRows()
    {
        QAccessibleInterface *list = listInterface();
        QVERIFY(list);
        QCOMPARE(list->role(), QAccessible::List);
        QVERIFY(!list->text(QAccessible::Name).isEmpty());
        QCOMPARE(list->childCount(), 16);
        QStringList texts;
        for (int row = 0; row < list->childCount(); ++row) {
            QAccessibleInterface *item = list->child(row);
            QVERIFY(item && item->isValid());
            QCOMPARE(item->parent(), list);
            QCOMPARE(list->indexOfChild(item), row);
            QCOMPARE(list->child(row), item); // the same interface every time
            texts << item->text(QAccessible::Name);
            const bool group = row == 0 || row == 2 || row == 12;
            QCOMPARE(item->role(), group ? QAccessible::Heading : QAccessible::CheckBox);
            QCOMPARE(item->state().checkable, !group);
            QVERIFY(!item->state().checked);
            // Where the row is drawn, and found there again.
            const QRect r = item->rect();
            QCOMPARE(r.height(), 24);
            QCOMPARE(list->childAt(r.center().x(), r.center().y()), item);
        }
        QCOMPARE(texts,
                 (QStringList{u"Doc. Title"_s, u"Title"_s, u"Meta Name"_s, u"Description"_s, u"Keywords"_s,
                              u"Author"_s, u"Copyright"_s, u"Owner"_s, u"Distribution"_s, u"Rating"_s,
                              u"Revisit-After"_s, u"Robots"_s, u"Meta http-equiv"_s, u"Cache-Control"_s,
                              u"Charset"_s, u"Content-Language"_s}));
    }

    void tickChangesAreReportedAndAnnounced()
    {
        TOvCheckList *list = m_main->tagList();
        QAccessibleInterface *title = listInterface()->child(1);
        m_main->SelectBasicOnly1Click();
        QVERIFY(title->state().checked);
        QVERIFY(std::find(g_events.begin(), g_events.end(), std::pair{QAccessible::StateChanged, 1}) !=
                g_events.end());
        QVERIFY(g_lastChanged.checked);

        g_events.clear();
        list->SetRowChecked(1, false);
        QVERIFY(!title->state().checked);
        QCOMPARE(g_events.size(), std::size_t(1));
        QCOMPARE(g_events.front(), (std::pair{QAccessible::StateChanged, 1}));
        // Setting the state a row already has announces nothing.
        g_events.clear();
        list->SetRowChecked(1, false);
        QVERIFY(g_events.empty());
        m_main->DeselectAll1Click();
    }

    void toggleActionActsAsTheUser()
    {
        TOvCheckList *list = m_main->tagList();
        QSignalSpy changed(list, &TOvCheckList::OnChange);
        QAccessibleInterface *keywords = listInterface()->child(4);
        QAccessibleActionInterface *action = keywords->actionInterface();
        QVERIFY(action);
        QCOMPARE(action->actionNames(), QStringList{QAccessibleActionInterface::toggleAction()});
        action->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(list->IsRowChecked(4));
        QVERIFY(keywords->state().checked);
        QVERIFY(keywords->state().selected); // it became the current row
        QCOMPARE(changed.size(), 1);
        action->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(!list->IsRowChecked(4));

        // Headings cannot be ticked by the user.
        QAccessibleInterface *heading = listInterface()->child(2);
        QVERIFY(heading->actionInterface()->actionNames().isEmpty());
        heading->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(!list->IsRowChecked(2));
        QCOMPARE(changed.size(), 2);
    }

    void currentRowIsSelectedAndFocused()
    {
        TOvCheckList *list = m_main->tagList();
        list->setFocus();
        QTRY_VERIFY(list->hasFocus());
        g_events.clear();
        QTest::keyClick(list, Qt::Key_Home);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->ItemIndex(), 1);
        QAccessibleInterface *title = listInterface()->child(1);
        QVERIFY(title->state().selected);
        QVERIFY(title->state().focused);
        QCOMPARE(listInterface()->focusChild(), title);
        QVERIFY(std::find(g_events.begin(), g_events.end(), std::pair{QAccessible::Focus, 1}) !=
                g_events.end());
    }

    // A refused social card value: the input is invalid and described by
    // the message, which an alert announces when a value is newly refused.
    void socialCardErrorsAreAnnounced()
    {
        m_main->showSocialCards();
        ui::SocialCardsWindow *window = m_main->socialCardsWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto *problem = window->findChild<QLabel *>(u"lbproblem"_s);
        QAccessibleInterface *alert = QAccessible::queryAccessibleInterface(problem);
        QCOMPARE(alert->role(), QAccessible::AlertMessage);
        QLineEdit *url = window->lineEdit(tags::OgUrl);
        QAccessibleInterface *input = QAccessible::queryAccessibleInterface(url);
        QCOMPARE(input->role(), QAccessible::EditableText);
        QVERIFY(!input->state().invalid);
        const auto alerts = [&] {
            return std::count_if(g_events.begin(), g_events.end(),
                                 [](const auto &e) { return e.first == QAccessible::Alert; });
        };
        url->setFocus();
        g_events.clear();
        QTest::keyClicks(url, u"zz"_s);
        const QString message = u"og:url: \"zz\" is not an absolute http:// or https:// address"_s;
        QVERIFY(input->state().invalid);
        QVERIFY(g_lastChanged.invalid);
        QCOMPARE(input->text(QAccessible::Description), message);
        QCOMPARE(input->text(QAccessible::Value), u"zz"_s);
        QCOMPARE(input->textInterface()->text(0, 2), u"zz"_s);
        QCOMPARE(input->textInterface()->cursorPosition(), 2);
        QCOMPARE(alert->text(QAccessible::Name), message);
        QVERIFY(!alert->state().invisible);
        // Once when the value is refused, not again at every key typed.
        QCOMPARE(alerts(), 1);
        QTest::keyClicks(url, u"z"_s);
        QCOMPARE(alerts(), 1);
        // A second refused value is news.
        QTest::keyClicks(window->lineEdit(tags::OgLocale), u"english"_s);
        QCOMPARE(alerts(), 2);
        QVERIFY(alert->text(QAccessible::Name).contains(u"og:locale"_s));

        url->clear();
        window->lineEdit(tags::OgLocale)->clear();
        QVERIFY(!input->state().invalid);
        QCOMPARE(input->text(QAccessible::Description), QString());
        QVERIFY(alert->state().invisible);
        window->close();
    }

    void rowsFollowChangesOfTheList()
    {
        TOvCheckList list;
        list.setRows({u"//Group"_s, u"One"_s});
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&list);
        QCOMPARE(iface->childCount(), 2);
        QCOMPARE(iface->child(0)->text(QAccessible::Name), u"Group"_s);
        list.Items().insert(0, u"Zero"_s);
        QCOMPARE(iface->childCount(), 3);
        QCOMPARE(iface->child(0)->text(QAccessible::Name), u"Zero"_s);
        QCOMPARE(iface->child(0)->role(), QAccessible::CheckBox);
        QCOMPARE(iface->child(1)->role(), QAccessible::Heading);
        list.Items().remove(2);
        QCOMPARE(iface->childCount(), 2);
        QVERIFY(!iface->child(2));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
