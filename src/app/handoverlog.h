#pragma once

// HandOverLog: the running copy's record of the command lines handed over
// to it, which the single-instance tests read.

#ifndef BRINDLE_TEST_HOOKS
#error "a test seam: only for the tests' and benchmarks' build of the program"
#endif

#include "app/singleinstance.h"
#include "base/error.h"
#include "base/filewriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

namespace brindle::app {

// With BRINDLE_TEST_LOG_HANDOVER=FILE set, the running copy appends to FILE a
// line "running<TAB>pid" when it starts and "handover<TAB>arg0<TAB>arg1..."
// for every command line handed over to it.
class HandOverLog
{
public:
    static void attachIfRequested(TOvRunOnce &guard)
    {
        const QString log = qEnvironmentVariable("BRINDLE_TEST_LOG_HANDOVER");
        if (log.isEmpty())
            return;
        append(log, {QStringLiteral("running"), QString::number(QCoreApplication::applicationPid())});
        QObject::connect(&guard, &TOvRunOnce::OnOtherInstance, &guard,
                         [log](QObject *, unsigned, const QStringList &arguments) {
                             append(log, QStringList{QStringLiteral("handover")} + arguments);
                         });
    }

private:
    static void append(const QString &path, const QStringList &fields)
    {
        QFile old(path);
        QByteArray text = old.open(QIODevice::ReadOnly) ? old.readAll() : QByteArray();
        text += fields.join(u'\t').toUtf8() + '\n';
        try {
            writeFileSafely(path, text);
        } catch (const Error &e) {
            // A failure to keep the log must not stop the program.
            qWarning("Cannot write the hand-over log \"%s\": %s", qPrintable(path), qPrintable(e.message()));
        }
    }
};

} // namespace brindle::app
