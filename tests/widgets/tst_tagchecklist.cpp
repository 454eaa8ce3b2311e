// Mouse events go through the window system layer, so focus, implicit grab
// and double-click synthesis behave as for a real pointer.
#define QTEST_QPA_MOUSE_HANDLING

#include "base/error.h"
#include "tags/tagcatalogue.h"
#include "widgets/systemcolors.h"
#include "widgets/tagchecklist.h"

#include <QPaintEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;
using namespace brindle;
using namespace brindle::widgets;

namespace {

constexpr int kRowHeight = 24;

class ProbeList : public TOvCheckList
{
public:
    using TOvCheckList::TOvCheckList;

    QRegion painted;
    int paints = 0;
    int beeps = 0;
    std::optional<qint64> fakeNow;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        painted += event->region();
        ++paints;
        TOvCheckList::paintEvent(event);
    }
    void beep() override { ++beeps; }
    qint64 msecsNow() const override { return fakeNow ? *fakeNow : TOvCheckList::msecsNow(); }
};

// The sixteen rows of the tag list, as the main window sets it up, inside a
// wider window so that the pointer can leave the list and stay in the window.
class TagList
{
public:
    explicit TagList(int height)
    {
        m_window.resize(300, 450);
        m_list = new ProbeList(&m_window);
        QStringList rows;
        for (std::string_view text : tags::kRowTexts)
            rows << QString::fromLatin1(text.data(), qsizetype(text.size()));
        m_list->setRows(rows);
        m_list->setItemHeight(kRowHeight);
        m_list->setGeometry(0, 0, 124, height);
        m_window.show();
        if (!QTest::qWaitForWindowExposed(&m_window))
            qFatal("check list never exposed");
        m_window.activateWindow();
        m_list->setFocus();
    }
    ProbeList *operator->() const { return m_list; }
    ProbeList &operator*() const { return *m_list; }
    ProbeList *get() const { return m_list; }

private:
    QWidget m_window;
    ProbeList *m_list;
};

QPoint boxPoint(int row, int x = 8)
{
    return {x, row * kRowHeight + kRowHeight / 2};
}
QPoint textPoint(int row)
{
    return {60, row * kRowHeight + kRowHeight / 2};
}

void click(TOvCheckList &list, QPoint pos)
{
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, pos);
}

// Every OnChanging/OnChange as "changing row state" / "change row state".
struct Recorder
{
    QStringList events;
    bool allow = true;

    explicit Recorder(TOvCheckList &list)
    {
        QObject::connect(&list, &TOvCheckList::OnChanging, &list,
                         [this](int row, TCheckBoxState state, bool *allowChange) {
                             QVERIFY(*allowChange);
                             events << u"changing %1 %2"_s.arg(row).arg(int(state));
                             *allowChange = allow;
                         });
        QObject::connect(&list, &TOvCheckList::OnChange, &list, [this](int row, TCheckBoxState state) {
            events << u"change %1 %2"_s.arg(row).arg(int(state));
        });
    }
};

void sendKey(QWidget *target, QEvent::Type type, Qt::Key key, const QString &text, bool autoRepeat)
{
    QKeyEvent event(type, key, Qt::NoModifier, text, autoRepeat);
    QApplication::sendEvent(target, &event);
}

} // namespace

class TestCheckList : public QObject
{
    Q_OBJECT

private slots:
    void mouseToggle_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("x");
        QTest::addColumn<bool>("onItemClick");
        QTest::addColumn<bool>("disabled");
        QTest::addColumn<bool>("toggles");
        QTest::addRow("left edge of the box column") << 3 << 0 << false << false << true;
        QTest::addRow("on the box") << 3 << 8 << false << false << true;
        QTest::addRow("last pixel of the box column") << 3 << 16 << false << false << true;
        QTest::addRow("first pixel past the box column") << 3 << 17 << false << false << false;
        QTest::addRow("on the text") << 3 << 60 << false << false << false;
        QTest::addRow("text with ToggleOnItemClick") << 3 << 60 << true << false << true;
        QTest::addRow("group row box column") << 2 << 8 << false << false << false;
        QTest::addRow("group row with ToggleOnItemClick") << 12 << 60 << true << false << false;
        QTest::addRow("disabled row") << 5 << 8 << false << true << false;
    }
    void mouseToggle()
    {
        QFETCH(int, row);
        QFETCH(int, x);
        QFETCH(bool, onItemClick);
        QFETCH(bool, disabled);
        QFETCH(bool, toggles);
        TagList list(411);
        list->setToggleOnItemClick(onItemClick);
        list->SetRowEnabled(row, !disabled);
        Recorder recorder(*list);

        click(*list, boxPoint(row, x));

        QCOMPARE(list->ItemIndex(), row);
        QCOMPARE(list->RowState(row), toggles ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked);
        const QStringList expected =
            toggles ? QStringList{u"changing %1 1"_s.arg(row), u"change %1 1"_s.arg(row)} : QStringList{};
        QCOMPARE(recorder.events, expected);
    }

    void releaseAwayFromTheArmedRowDoesNotToggle()
    {
        TagList list(411);
        Recorder recorder(*list);
        QWidget *vp = list->viewport();

        QTest::mousePress(vp, Qt::LeftButton, {}, boxPoint(5));
        QTest::mouseMove(vp, QPoint(200, boxPoint(5).y()));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(200, boxPoint(5).y()));
        QCOMPARE(list->ItemIndex(), 5);
        QCOMPARE(list->RowState(5), TCheckBoxState::cbUnchecked);
        click(*list, textPoint(5)); // the aborted press must not stay armed
        QCOMPARE(list->RowState(5), TCheckBoxState::cbUnchecked);

        // Dragged onto another row: the highlight follows, nothing toggles.
        QTest::mousePress(vp, Qt::LeftButton, {}, boxPoint(5));
        QTest::mouseMove(vp, boxPoint(6));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, boxPoint(6));
        QCOMPARE(list->ItemIndex(), 6);
        QCOMPARE(list->RowState(5), TCheckBoxState::cbUnchecked);
        QCOMPARE(list->RowState(6), TCheckBoxState::cbUnchecked);
        QVERIFY(recorder.events.isEmpty());
    }

    void onChangingVetoes()
    {
        TagList list(411);
        Recorder recorder(*list);
        recorder.allow = false;
        click(*list, boxPoint(4));
        QCOMPARE(list->RowState(4), TCheckBoxState::cbUnchecked);
        QCOMPARE(recorder.events, QStringList{u"changing 4 1"_s});
    }

    void toggleCycle_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<bool>("allowGrayed");
        QTest::addColumn<int>("to");
        QTest::addRow("unchecked to checked")
            << int(TCheckBoxState::cbUnchecked) << false << int(TCheckBoxState::cbChecked);
        QTest::addRow("unchecked to grayed when allowed")
            << int(TCheckBoxState::cbUnchecked) << true << int(TCheckBoxState::cbGrayed);
        QTest::addRow("checked to unchecked")
            << int(TCheckBoxState::cbChecked) << true << int(TCheckBoxState::cbUnchecked);
        QTest::addRow("grayed to checked")
            << int(TCheckBoxState::cbGrayed) << false << int(TCheckBoxState::cbChecked);
        QTest::addRow("grayed to checked when allowed")
            << int(TCheckBoxState::cbGrayed) << true << int(TCheckBoxState::cbChecked);
    }
    void toggleCycle()
    {
        QFETCH(int, from);
        QFETCH(bool, allowGrayed);
        QFETCH(int, to);
        TagList list(411);
        list->setAllowGrayed(allowGrayed);
        list->SetRowState(9, TCheckBoxState(from));
        Recorder recorder(*list);
        click(*list, boxPoint(9));
        QCOMPARE(int(list->RowState(9)), to);
        QCOMPARE(recorder.events.last(), u"change 9 %1"_s.arg(to));
    }

    void spaceTogglesOncePerPress()
    {
        TagList list(411);
        Recorder recorder(*list);
        list->setItemIndex(9);
        for (int press = 0; press < 2; ++press) {
            sendKey(list.get(), QEvent::KeyPress, Qt::Key_Space, u" "_s, false);
            for (int repeat = 0; repeat < 3; ++repeat) {
                sendKey(list.get(), QEvent::KeyRelease, Qt::Key_Space, u" "_s, true);
                sendKey(list.get(), QEvent::KeyPress, Qt::Key_Space, u" "_s, true);
            }
            QCOMPARE(list->IsRowChecked(9), press == 1); // held down: not yet
            sendKey(list.get(), QEvent::KeyRelease, Qt::Key_Space, u" "_s, false);
            QCOMPARE(list->IsRowChecked(9), press == 0);
        }
        QCOMPARE(recorder.events,
                 (QStringList{u"changing 9 1"_s, u"change 9 1"_s, u"changing 9 0"_s, u"change 9 0"_s}));

        // Neither a group row nor the search text takes the space.
        list->setItemIndex(2);
        QTest::keyClick(list.get(), Qt::Key_Space);
        QCOMPARE(list->RowState(2), TCheckBoxState::cbUnchecked);
        list->fakeNow = 0;
        QTest::keyClicks(list.get(), u"R"_s);
        QTest::keyClick(list.get(), Qt::Key_Space);
        QTest::keyClicks(list.get(), u"o"_s);
        QCOMPARE(list->ItemIndex(), 11);
        QVERIFY(list->IsRowChecked(9));
    }

    void doubleClickTogglesTwice()
    {
        TagList list(411);
        Recorder recorder(*list);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, boxPoint(3));
        QCOMPARE(list->RowState(3), TCheckBoxState::cbUnchecked);
        QCOMPARE(recorder.events.size(), 4);
        QCOMPARE(recorder.events.at(1), u"change 3 1"_s);
        QCOMPARE(recorder.events.at(3), u"change 3 0"_s);
    }

    void rightPressMovesTheHighlight()
    {
        TagList list(411);
        QSignalSpy moved(list.get(), &TOvCheckList::currentRowChanged);
        QTest::mousePress(list->viewport(), Qt::RightButton, {}, boxPoint(5));
        QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, boxPoint(5));
        QCOMPARE(list->ItemIndex(), 5);
        QCOMPARE(moved.size(), 1);
        QCOMPARE(list->RowState(5), TCheckBoxState::cbUnchecked);

        list->setItemIndex(7); // silent
        QCOMPARE(moved.size(), 1);
    }

    void keyboardNavigation_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("start");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("expected");
        const int full = 411;
        QTest::addRow("Down from no row") << full << -1 << QList<int>{Qt::Key_Down} << 0;
        QTest::addRow("Down onto a group row") << full << 11 << QList<int>{Qt::Key_Down} << 12;
        QTest::addRow("Up onto a group row") << full << 3 << QList<int>{Qt::Key_Up} << 2;
        QTest::addRow("Up stops at the top") << full << 0 << QList<int>{Qt::Key_Up} << 0;
        QTest::addRow("Down stops at the bottom") << full << 15 << QList<int>{Qt::Key_Down} << 15;
        QTest::addRow("Right and Left as Down and Up")
            << full << 5 << QList<int>{Qt::Key_Right, Qt::Key_Right, Qt::Key_Left} << 6;
        QTest::addRow("Home") << full << 9 << QList<int>{Qt::Key_Home} << 0;
        QTest::addRow("End") << full << 1 << QList<int>{Qt::Key_End} << 15;
        // 120 pixels show five rows: a page is four.
        QTest::addRow("End scrolls") << 120 << 0 << QList<int>{Qt::Key_End} << 15;
        QTest::addRow("PageDown") << 120 << 0 << QList<int>{Qt::Key_PageDown} << 4;
        QTest::addRow("PageDown twice scrolls")
            << 120 << 0 << QList<int>{Qt::Key_PageDown, Qt::Key_PageDown} << 8;
        QTest::addRow("PageUp stops at the top") << 120 << 3 << QList<int>{Qt::Key_PageUp} << 0;
        QTest::addRow("Home scrolls back") << 120 << 15 << QList<int>{Qt::Key_Home} << 0;
    }
    void keyboardNavigation()
    {
        QFETCH(int, height);
        QFETCH(int, start);
        QFETCH(QList<int>, keys);
        QFETCH(int, expected);
        TagList list(height);
        list->setItemIndex(start);
        QSignalSpy moved(list.get(), &TOvCheckList::currentRowChanged);
        for (int key : keys)
            QTest::keyClick(list.get(), Qt::Key(key));
        QCOMPARE(list->ItemIndex(), expected);
        QVERIFY(list->viewport()->rect().contains(list->rowRect(expected)));
        QCOMPARE(moved.isEmpty(), start == expected);
    }

    void incrementalSearch_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("beeps");
        QTest::addRow("R selects Rating") << u"R"_s << 9 << 0;
        QTest::addRow("Ro moves on to Robots") << u"Ro"_s << 11 << 0;
        QTest::addRow("case ignored") << u"rOB"_s << 11 << 0;
        QTest::addRow("first match wins") << u"c"_s << 6 << 0;
        QTest::addRow("longer prefix") << u"cha"_s << 14 << 0;
        QTest::addRow("group rows match with their prefix") << u"//m"_s << 2 << 0;
        QTest::addRow("no match beeps, row stays") << u"Rx"_s << 9 << 1;
        QTest::addRow("the missed key stays in the search") << u"Rxo"_s << 9 << 2;
        QTest::addRow("nothing matches at all") << u"z"_s << -1 << 1;
    }
    void incrementalSearch()
    {
        QFETCH(QString, typed);
        QFETCH(int, expected);
        QFETCH(int, beeps);
        TagList list(411);
        list->fakeNow = 5000;
        QTest::keyClicks(list.get(), typed);
        QCOMPARE(list->ItemIndex(), expected);
        QCOMPARE(list->beeps, beeps);
    }

    void searchTimeout_data()
    {
        QTest::addColumn<int>("pause");
        QTest::addColumn<int>("expected");
        QTest::addRow("just inside the timeout") << 1499 << 11;
        QTest::addRow("timed out: o alone finds Owner") << 1500 << 7;
    }
    void searchTimeout()
    {
        QFETCH(int, pause);
        QFETCH(int, expected);
        TagList list(411);
        list->fakeNow = 1000;
        QTest::keyClicks(list.get(), u"R"_s);
        *list->fakeNow += pause;
        QTest::keyClicks(list.get(), u"o"_s);
        QCOMPARE(list->ItemIndex(), expected);
    }

    void searchTimeoutOnTheRealClock()
    {
        TagList list(411);
        QTest::keyClicks(list.get(), u"R"_s);
        QTest::qWait(TOvCheckList::kSearchTimeoutMs + 100);
        QTest::keyClicks(list.get(), u"o"_s);
        QCOMPARE(list->ItemIndex(), 7);
    }

    void searchForgotten_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("rowAfter");
        QTest::addRow("Escape also clears the highlight") << u"escape"_s << -1;
        QTest::addRow("navigation key") << u"down"_s << 10;
        QTest::addRow("left press") << u"press"_s << 3;
    }
    void searchForgotten()
    {
        QFETCH(QString, how);
        QFETCH(int, rowAfter);
        TagList list(411);
        list->fakeNow = 0;
        QTest::keyClicks(list.get(), u"R"_s);
        if (how == u"escape")
            QTest::keyClick(list.get(), Qt::Key_Escape);
        else if (how == u"down")
            QTest::keyClick(list.get(), Qt::Key_Down);
        else
            click(*list, textPoint(3));
        QCOMPARE(list->ItemIndex(), rowAfter);
        QTest::keyClicks(list.get(), u"o"_s);
        QCOMPARE(list->ItemIndex(), 7);
    }

    void backspaceShortensTheSearch()
    {
        TagList list(411);
        list->fakeNow = 0;
        QTest::keyClicks(list.get(), u"Rox"_s);
        QCOMPARE(list->ItemIndex(), 11);
        QCOMPARE(list->beeps, 1);
        const QList<int> expected{11, 9, 0, 0}; // "Ro", "R", nothing left, still nothing
        for (int row : expected) {
            QTest::keyClick(list.get(), Qt::Key_Backspace);
            QCOMPARE(list->ItemIndex(), row);
        }
        QCOMPARE(list->beeps, 1);
    }

    void keysPassedOn_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("search");
        QTest::addColumn<bool>("accepted");
        QTest::addRow("Enter") << int(Qt::Key_Return) << u"\r"_s << true << false;
        QTest::addRow("space swallowed") << int(Qt::Key_Space) << u" "_s << true << true;
        QTest::addRow("letter searched") << int(Qt::Key_R) << u"R"_s << true << true;
        QTest::addRow("letter without search") << int(Qt::Key_R) << u"R"_s << false << false;
        QTest::addRow("Escape without search") << int(Qt::Key_Escape) << QString() << false << false;
    }
    void keysPassedOn()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(bool, search);
        QFETCH(bool, accepted);
        TagList list(411);
        list->setIncrementalSearch(search);
        list->setItemIndex(4);
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(list.get(), &event);
        QCOMPARE(event.isAccepted(), accepted);
        if (!accepted)
            QCOMPARE(list->ItemIndex(), 4);
    }

    void bulkOperations()
    {
        TagList list(411);
        Recorder recorder(*list);
        list->CheckAllRows();
        QCOMPARE(list->CountCheckedRows(), 13);
        QVERIFY(list->IsRowChecked(0));
        QVERIFY(list->IsRowChecked(12));
        list->UncheckAllRows();
        QCOMPARE(list->CountCheckedRows(), 0);
        QVERIFY(recorder.events.isEmpty());

        list->SetRowState(3, TCheckBoxState::cbGrayed);
        list->SetRowChecked(4, true);
        list->SetRowEnabled(4, false);
        list->SetRowChecked(12, true);
        QCOMPARE(list->CountCheckedRows(), 1); // disabled counts, grayed and group rows do not
        QVERIFY(!list->IsRowChecked(3));
    }

    void groupRows_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("group");
        for (int row : {0, 2, 12})
            QTest::addRow("row %d", row) << row << true;
        QTest::addRow("tag row") << 1 << false;
        QTest::addRow("before the first row") << -1 << false;
        QTest::addRow("past the last row") << 16 << false;
    }
    void groupRows()
    {
        QFETCH(int, row);
        QFETCH(bool, group);
        TagList list(411);
        QCOMPARE(list->IsGroupRow(row), group);
    }

    void findRowByText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("row");
        QTest::addRow("case ignored") << u"title"_s << 1;
        QTest::addRow("upper case") << u"CONTENT-LANGUAGE"_s << 15;
        QTest::addRow("group row needs its prefix") << u"Meta Name"_s << -1;
        QTest::addRow("group row with prefix") << u"//meta name"_s << 2;
        QTest::addRow("whole text only") << u"Titl"_s << -1;
        QTest::addRow("empty") << QString() << -1;
    }
    void findRowByText()
    {
        QFETCH(QString, text);
        QFETCH(int, row);
        TagList list(411);
        QCOMPARE(list->FindRowByText(text), row);
    }

    void outOfBounds_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<int>("row");
        for (const char *op :
             {"IsRowChecked", "SetRowChecked", "RowState", "SetRowState", "IsRowEnabled", "SetRowEnabled",
              "setItemIndex", "Strings", "setStrings", "Delete", "Insert"}) {
            if (qstrcmp(op, "Insert") != 0) // inserting at Count appends
                QTest::addRow("%s 16", op) << QString::fromLatin1(op) << 16;
            QTest::addRow("%s -2", op) << QString::fromLatin1(op) << -2;
        }
        QTest::addRow("Insert past the end") << u"Insert"_s << 17;
    }
    void outOfBounds()
    {
        QFETCH(QString, op);
        QFETCH(int, row);
        TagList list(411);
        list->SetRowChecked(15, true);
        list->setItemIndex(15);
        const QStringList texts = list->Items().texts();
        auto &items = list->Items();
        try {
            if (op == u"IsRowChecked")
                list->IsRowChecked(row);
            else if (op == u"SetRowChecked")
                list->SetRowChecked(row, true);
            else if (op == u"RowState")
                list->RowState(row);
            else if (op == u"SetRowState")
                list->SetRowState(row, TCheckBoxState::cbGrayed);
            else if (op == u"IsRowEnabled")
                list->IsRowEnabled(row);
            else if (op == u"SetRowEnabled")
                list->SetRowEnabled(row, false);
            else if (op == u"setItemIndex")
                list->setItemIndex(row);
            else if (op == u"Strings")
                items.strings(row);
            else if (op == u"setStrings")
                items.setStrings(row, u"x"_s);
            else if (op == u"Delete")
                items.remove(row);
            else
                items.insert(row, u"x"_s);
            QFAIL("no error");
        } catch (const Error &e) {
            QCOMPARE(e.message(), u"List index out of bounds (%1)"_s.arg(row));
        }
        QCOMPARE(items.texts(), texts);
        QCOMPARE(list->ItemIndex(), 15);
        QCOMPARE(list->CountCheckedRows(), 1);
        for (int r = 0; r < list->Count(); ++r)
            QVERIFY(list->IsRowEnabled(r));
    }

    void rowsKeepTheirRecords()
    {
        TagList list(411);
        auto &items = list->Items();
        list->SetRowChecked(3, true);
        list->SetRowEnabled(4, false);
        list->setItemIndex(3);

        items.insert(0, u"Extra"_s);
        QCOMPARE(items.packet(0), TPacket{});
        QVERIFY(list->IsRowChecked(4));
        QVERIFY(!list->IsRowEnabled(5));
        QCOMPARE(list->ItemIndex(), 4);

        items.exchange(4, 5);
        QVERIFY(list->IsRowChecked(5));
        QVERIFY(!list->IsRowEnabled(4));
        QCOMPARE(list->ItemIndex(), 5);

        items.move(5, 1);
        QCOMPARE(items.strings(1), u"Description"_s);
        QVERIFY(list->IsRowChecked(1));
        QCOMPARE(list->ItemIndex(), 1);

        items.setStrings(1, u"Renamed"_s);
        QVERIFY(list->IsRowChecked(1));
        QCOMPARE(list->ItemIndex(), 1);

        items.remove(0);
        QCOMPARE(list->ItemIndex(), 0);
        items.remove(0);
        QCOMPARE(list->ItemIndex(), -1);
        QCOMPARE(list->Count(), 15);

        items.clear();
        QCOMPARE(list->Count(), 0);
        QCOMPARE(list->CountCheckedRows(), 0);
    }

    void disablingTheListDisablesEveryRow()
    {
        TagList list(411);
        list->setEnabled(false);
        for (int row = 0; row < list->Count(); ++row)
            QVERIFY(!list->IsRowEnabled(row));
        list->setEnabled(true);
        for (int row = 0; row < list->Count(); ++row)
            QVERIFY(list->IsRowEnabled(row));
    }

    void stateChangeRepaintsOnlyTheBox()
    {
        TagList list(411);
        QTRY_VERIFY(list->paints > 0);
        QTest::qWait(50);
        list->painted = QRegion();
        list->paints = 0;

        list->SetRowChecked(3, false); // already unchecked
        list->SetRowState(7, TCheckBoxState::cbUnchecked);
        QTest::qWait(50);
        QCOMPARE(list->paints, 0);

        list->SetRowChecked(3, true);
        QTRY_COMPARE(list->paints, 1);
        QCOMPARE(list->painted, QRegion(0, 3 * kRowHeight + 5, 17, 14));

        list->painted = QRegion();
        list->SetRowEnabled(3, false);
        QTRY_COMPARE(list->paints, 2);
        QCOMPARE(list->painted, QRegion(list->viewport()->rect()));
    }

    void rendering_data()
    {
        QTest::addColumn<bool>("themed");
        QTest::addRow("themed") << true;
        QTest::addRow("flat") << false;
    }
    void rendering()
    {
        QFETCH(bool, themed);
        TagList list(411);
        list->setThemed(themed);
        list->setItemIndex(3);
        QWidget *vp = list->viewport();
        const QColor base = list->palette().color(QPalette::Base);
        const QColor highlight = list->palette().color(QPalette::Highlight);

        const QImage unchecked = vp->grab().toImage();
        list->CheckAllRows();
        const QImage checked = vp->grab().toImage();
        // Group rows show no box whatever their state; tag rows do.
        const QRect row0 = list->rowRect(0);
        QCOMPARE(checked.copy(row0), unchecked.copy(row0));
        QVERIFY(checked.copy(list->boxRect(1)) != unchecked.copy(list->boxRect(1)));

        // A selected tag row keeps the box column in the list colour.
        const int top3 = 3 * kRowHeight;
        QCOMPARE(checked.pixelColor(10, top3 + 2).rgb(), base.rgb());
        QCOMPARE(checked.pixelColor(vp->width() - 4, top3 + 2).rgb(), highlight.rgb());
        QCOMPARE(checked.pixelColor(TOvCheckList::kTextIndent + 1, top3 + 2).rgb(), highlight.rgb());

        // A selected group row is highlighted across the full width.
        list->setItemIndex(2);
        const QImage group = vp->grab().toImage();
        QCOMPARE(group.pixelColor(1, 2 * kRowHeight + 2).rgb(), highlight.rgb());

        if (!themed) {
            const QImage whole = list->grab().toImage();
            const QColor shadow = widgets::clBtnShadow(list->palette());
            QCOMPARE(whole.pixelColor(0, 0).rgb(), shadow.rgb());
            QCOMPARE(whole.pixelColor(whole.width() - 1, whole.height() - 1).rgb(), shadow.rgb());
            QCOMPARE(vp->mapTo(list.get(), QPoint(0, 0)), QPoint(1, 1));
            // Box frame, and the tick's first column three pixels from the frame.
            const QRect box = list->boxRect(1);
            QCOMPARE(box.topLeft(), QPoint(4, kRowHeight + 5));
            QCOMPARE(group.pixelColor(box.topLeft()).rgb(), list->ItemFrameColor().rgb());
            QCOMPARE(group.pixelColor(box.left() + 3, box.top() + 6).rgb(), list->HighlightColor().rgb());
        }
    }
};

QTEST_MAIN(TestCheckList)
#include "tst_tagchecklist.moc"
