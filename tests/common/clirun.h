#pragma once

// Runs brindle-cli (the build's copy) and collects what it printed.

#include <QProcess>
#include <QStringList>

namespace brindle::test {

struct CliRun
{
    int status = -1; // -1: crashed or timed out
    QByteArray out;
    QByteArray err;
};

inline CliRun runCli(const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    p.start(QStringLiteral(BRINDLE_CLI), args);
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    CliRun r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace brindle::test
