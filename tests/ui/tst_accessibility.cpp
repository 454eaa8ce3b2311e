// What assistive technology finds in the real windows: a name for every
// control, and the tag check list's rows with their texts and ticks.

#include "app/appwindows.h"
#include "base/textutil.h"
#include "common/fakedialogs.h"
#include "tags/tagcatalogue.h"
#include "ui/aboutbox.h"
#include "ui/checkwindow.h"
#include "ui/hintpopup.h"
#include "ui/mainwindow.h"
#include "ui/pagebuilderwindow.h"
#include "ui/searchpreviewwindow.h"
#include "ui/socialcards.h"
#include "ui/tagsviewer.h"
#include "widgets/fadinglinklabel.h"
#include "widgets/tagchecklist.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
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
std::vector<QObject *> g_sources;                         // the object of each
QAccessible::State g_lastChanged;

void recordEvent(QAccessibleEvent *event)
{
    g_events.emplace_back(event->type(), event->child());
    g_sources.push_back(event->object());
    if (event->type() == QAccessible::StateChanged)
        g_lastChanged = static_cast<QAccessibleStateChangeEvent *>(event)->changedStates();
}

void clearEvents()
{
    g_events.clear();
    g_sources.clear();
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
        clearEvents();
    }

    // Named by the label beside them, not by their value, which is all Qt
    // gives a combo box on Linux.
    void choiceInputsAreNamedByTheirLabels()
    {
        QList<QComboBox *> combos = m_main->findChild<QWidget *>(u"pnfields"_s)->findChildren<QComboBox *>();
        QCOMPARE(combos.size(), tags::kTagCount - tags::kTextTagCount);
        for (QComboBox *combo : std::as_const(combos))
            QCOMPARE(QAccessible::queryAccessibleInterface(combo)->text(QAccessible::Name),
                     combo->accessibleName());

        // The page builder's list, the one on show tied to the label.
        ui::Tfcreaht *builder = app::windows().fcreaht;
        for (auto *list : builder->findChildren<QComboBox *>()) {
            QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(list);
            QVERIFY(!list->currentText().isEmpty());
            QCOMPARE(iface->text(QAccessible::Value), list->currentText());
            if (list->objectName() == u"cbHTM"_s) {
                QCOMPARE(iface->text(QAccessible::Name), u"Select Document Type (DTD) :"_s);
                const auto labels = iface->relations(QAccessible::Label);
                QCOMPARE(labels.size(), 1);
                QCOMPARE(labels.front().first->text(QAccessible::Name), u"Select Document Type (DTD) :"_s);
            }
        }

        // What Qt's own combo box gives stays: the list and the edit as
        // children, the caret in the edit, the list's actions.
        QComboBox *charset = m_main->findChild<QComboBox *>(u"cbCharset"_s);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(charset);
        QCOMPARE(iface->role(), QAccessible::ComboBox);
        QCOMPARE(iface->text(QAccessible::Value), u"Unicode (UTF-8)"_s);
        QCOMPARE(iface->childCount(), 2);
        QCOMPARE(iface->child(1)->object(), charset->lineEdit());
        QCOMPARE(iface->indexOfChild(iface->child(0)), 0);
        QCOMPARE(iface->focusChild(), iface->child(1));
        QVERIFY(iface->state().editable && iface->state().expandable && !iface->state().expanded);
        QVERIFY(
            iface->actionInterface()->actionNames().contains(QAccessibleActionInterface::showMenuAction()));
    }

    void linkIsFollowedByItsAction()
    {
        widgets::FadingLinkLabel *link = app::windows().finfo->link();
        QStringList opened;
        link->setUrlOpener([&](const QUrl &url) { opened << url.toString(); });
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(link);
        QVERIFY(iface->state().focusable);
        QAccessibleActionInterface *action = iface->actionInterface();
        QVERIFY(action);
        QCOMPARE(action->actionNames().value(0), QAccessibleActionInterface::pressAction());
        action->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(opened, QStringList{link->url()});
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
        // The hint popup has nothing to act on.
        QVERIFY(controls > 0 || widget == w.hintf);
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

        clearEvents();
        list->SetRowChecked(1, false);
        QVERIFY(!title->state().checked);
        QCOMPARE(g_events.size(), std::size_t(1));
        QCOMPARE(g_events.front(), (std::pair{QAccessible::StateChanged, 1}));
        // Setting the state a row already has announces nothing.
        clearEvents();
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

    // A reader takes the last focus event as where the user is: entering
    // the list must end on the current row, not on the list.
    void enteringTheListEndsOnTheCurrentRow()
    {
        TOvCheckList *list = m_main->tagList();
        m_main->input(tags::Description)->setFocus();
        QTRY_COMPARE(list->ItemIndex(), 3);
        clearEvents();
        list->setFocus(Qt::BacktabFocusReason);
        // The list's own focus, told by Qt, then the row's.
        const auto focusEvents = [] {
            QList<int> children;
            for (const auto &[type, child] : g_events) {
                if (type == QAccessible::Focus)
                    children << child;
            }
            return children;
        };
        QTRY_VERIFY(focusEvents().size() >= 2);
        QCOMPARE(focusEvents().mid(0, 2), (QList<int>{-1, 3}));
        QVERIFY(listInterface()->child(3)->state().focused);
    }

    void theRowLeftBehindIsNoLongerSelected()
    {
        TOvCheckList *list = m_main->tagList();
        list->setItemIndex(4);
        clearEvents();
        list->setItemIndex(5);
        QVERIFY(std::find(g_events.begin(), g_events.end(), std::pair{QAccessible::SelectionRemove, 4}) !=
                g_events.end());
        QVERIFY(!listInterface()->child(4)->state().selected);
        QVERIFY(listInterface()->child(5)->state().selected);
    }

    // Headings have no tick, though Select All sets their state too.
    void selectAllTellsOfTagRowsOnly()
    {
        m_main->SelectAll1Click();
        m_main->DeselectAll1Click();
        QList<int> told;
        for (const auto &[type, child] : g_events) {
            if (type == QAccessible::StateChanged)
                told << child;
        }
        QCOMPARE(told.size(), 2 * 13);
        for (int heading : {0, 2, 12})
            QVERIFY(!told.contains(heading));
    }

    void currentRowIsSelectedAndFocused()
    {
        TOvCheckList *list = m_main->tagList();
        list->setFocus();
        QTRY_VERIFY(list->hasFocus());
        clearEvents();
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
    // the message, a notification that appears anew, and so is spoken, and
    // an alert for the platforms that have one, when a value is newly refused.
    void socialCardErrorsAreAnnounced()
    {
        m_main->showSocialCards();
        ui::SocialCardsWindow *window = m_main->socialCardsWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto *problem = window->findChild<QLabel *>(u"lbproblem"_s);
        QAccessibleInterface *alert = QAccessible::queryAccessibleInterface(problem);
        QCOMPARE(alert->role(), QAccessible::Notification);
        QLineEdit *url = window->lineEdit(tags::OgUrl);
        QAccessibleInterface *input = QAccessible::queryAccessibleInterface(url);
        QCOMPARE(input->role(), QAccessible::EditableText);
        QVERIFY(!input->state().invalid);
        const auto alerts = [&] {
            return std::count_if(g_events.begin(), g_events.end(),
                                 [](const auto &e) { return e.first == QAccessible::Alert; });
        };
        const auto shows = [&] {
            int n = 0;
            for (std::size_t i = 0; i < g_events.size(); ++i)
                n += g_events[i].first == QAccessible::ObjectShow && g_sources[i] == problem;
            return n;
        };
        url->setFocus();
        clearEvents();
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
        QCOMPARE(shows(), 1);
        QTest::keyClicks(url, u"z"_s);
        QCOMPARE(alerts(), 1);
        QCOMPARE(shows(), 1);
        // A second refused value is news, told while the first still shows.
        QTest::keyClicks(window->lineEdit(tags::OgLocale), u"english"_s);
        QCOMPARE(alerts(), 2);
        QCOMPARE(shows(), 2);
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

    // What a window, a line, a picture and a link are told as. Last, as the
    // windows it shows take the activation from the main window for a while.
    void rolesAndNames_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::addRow("tool bar separator")
            << u"toolBarSeparator"_s << int(QAccessible::Separator) << QString();
        QTest::addRow("hint popup") << u"hintf"_s << int(QAccessible::Window) << u"Hint: Title"_s;
        QTest::addRow("hint icon") << u"hintf/btHintTitle"_s << int(QAccessible::Graphic) << u"Hint"_s;
        QTest::addRow("search preview")
            << u"searchPreview"_s << int(QAccessible::Window) << u"Search Preview"_s;
        QTest::addRow("check") << u"checkWindow"_s << int(QAccessible::Window) << u"Check"_s;
        QTest::addRow("findings") << u"checkWindow/lvfindings"_s << int(QAccessible::Tree) << u"Findings"_s;
        QTest::addRow("homepage link")
            << u"finfo/lbhomepage"_s << int(QAccessible::Link) << u"Visit Homepage"_s;
    }
    void rolesAndNames()
    {
        QFETCH(QString, object);
        QFETCH(int, role);
        QFETCH(QString, name);
        app::AppWindows &w = app::windows();
        w.hintf->showHint(1, w.ovalinform);
        for (const char16_t *item : {u"SearchPreview1", u"Check1"}) {
            w.fview->findChild<QAction *>(QString::fromUtf16(item))->trigger();
        }
        const QString windowName = object.section(u'/', 0, 0);
        const QString childName = object.section(u'/', 1);
        QWidget *window = windowName == u"hintf"_s           ? static_cast<QWidget *>(w.hintf)
                          : windowName == u"searchPreview"_s ? static_cast<QWidget *>(w.searchPreview)
                          : windowName == u"checkWindow"_s   ? static_cast<QWidget *>(w.checkWindow)
                          : windowName == u"finfo"_s         ? static_cast<QWidget *>(w.finfo)
                                                             : static_cast<QWidget *>(w.ovalinform);
        QWidget *widget = window;
        if (windowName == u"toolBarSeparator"_s)
            widget = w.ovalinform->findChild<QFrame *>(windowName);
        else if (!childName.isEmpty())
            widget = window->findChild<QWidget *>(childName);
        QVERIFY(widget);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
        QCOMPARE(int(iface->role()), role);
        if (!name.isNull())
            QCOMPARE(iface->text(QAccessible::Name), name);
        // A picture does nothing, so offers nothing to do.
        if (role == QAccessible::Graphic)
            QVERIFY(!iface->actionInterface() || iface->actionInterface()->actionNames().isEmpty());
        w.hintf->hide();
        w.searchPreview->hide();
        w.checkWindow->hide();
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
