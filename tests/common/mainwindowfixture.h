#pragma once

// MainWindowFixture: a shown main window with scripted dialogs and a folder
// of its own, for the tests that drive the window's profile flows.

#include "common/fakedialogs.h"
#include "ui/mainwindow.h"

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

} // namespace brindle::test
