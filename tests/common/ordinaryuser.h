#pragma once

// Permissions do not stop root, and CI runs the tests as root. There a case
// that needs them to apply runs instead in a copy of the test program that
// setpriv starts as an ordinary user, with only that case selected.

#include "common/fileattributes.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QTest>

#include <unistd.h>

namespace brindle::test {

// Runs the current case (function and row) again as user A: empty when it
// passed there, else why not, with what the copy wrote.
inline QString runCaseAsOrdinaryUser()
{
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty())
        return QStringLiteral("setpriv is missing");
    QString selector = QString::fromLatin1(QTest::currentTestFunction());
    if (const char *tag = QTest::currentDataTag(); tag && *tag)
        selector += QLatin1Char(':') + QString::fromUtf8(tag);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Root's runtime folder is closed to the other user.
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(setpriv,
                {QStringLiteral("--reuid=%1").arg(kUserA), QStringLiteral("--regid=%1").arg(kGroupA),
                 QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(), selector});
    if (!child.waitForFinished(120000)) {
        child.kill();
        child.waitForFinished();
        return QStringLiteral("the copy run as user %1 did not finish").arg(kUserA);
    }
    const QString output = QString::fromUtf8(child.readAll());
    // A case skipped there, or not found, would prove nothing.
    static const QRegularExpression passed(QStringLiteral("Totals: [1-9]\\d* passed, 0 failed, 0 skipped"));
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 || !output.contains(passed))
        return QStringLiteral("as user %1:\n").arg(kUserA) + output;
    return {};
}

} // namespace brindle::test

// At the top of a case that needs permissions to apply: under root the case
// runs as an ordinary user instead, and its outcome is this case's.
#define BRINDLE_RUN_AS_ORDINARY_USER()                                                                       \
    do {                                                                                                     \
        if (::geteuid() == 0) {                                                                              \
            const QString failure = brindle::test::runCaseAsOrdinaryUser();                                  \
            QVERIFY2(failure.isEmpty(), qPrintable(failure));                                                \
            return;                                                                                          \
        }                                                                                                    \
    } while (false)
