#pragma once

// MainWindowFixture: a shown main window with scripted dialogs and a folder
// of its own, for the tests that drive the window's profile flows.

#include "common/fakedialogs.h"
#include "ui/hintpopup.h"
#include "ui/mainwindow.h"
#include "ui/tagsviewer.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

namespace brindle::test {

struct MainWindowFixture
{
    FakeDialogs fake;
    QTemporaryDir dir;
    ui::Tovalinform main;

    MainWindowFixture()
    {
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
    }
    QLineEdit *edit(const char16_t *name) { return main.findChild<QLineEdit *>(QString::fromUtf16(name)); }
    QComboBox *combo(const char16_t *name) { return main.findChild<QComboBox *>(QString::fromUtf16(name)); }
    QString path(const char16_t *name) const { return dir.filePath(QString::fromUtf16(name)); }
};

// A shown main window with its tags viewer and hint popup, put together as
// the program puts them, for the tests of the windows its menus open.
struct MainWindowWithViewer
{
    FakeDialogs fake;
    QTemporaryDir dir;
    ui::Tovalinform main;
    ui::Tfview viewer{&main};
    ui::Thintf hint{&main};

    MainWindowWithViewer()
    {
        main.setViewer(&viewer);
        main.setHintPopup(&hint);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
    }
};

} // namespace brindle::test
