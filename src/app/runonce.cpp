#include "app/runonce.h"

#include "core/dialogs.h"
#include "core/error.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>
#include <QtEndian>

#include <algorithm>
#include <memory>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace brindle::app {

namespace {

// Requests of a later copy, one byte each; the hand-over is followed by the
// block's length (32 bits, big-endian) and the block.
constexpr char kPing = 'P';
constexpr char kHandOver = 'H';
constexpr char kRaise = 'R';

// The later copy waits for its hand-over to be handled, but not for ever:
// a running copy that stopped answering must not leave an invisible process.
constexpr int kHandledLimitMs = 30000;
// A lock file without readable owner was left by a copy that died while
// writing it; after this age nobody is writing it any more.
constexpr qint64 kUnreadableLockAgeMs = 2000;
// Longest path a local socket can have (sun_path less the NUL).
constexpr qsizetype kMaxSocketPath = 107;

bool writeAll(QLocalSocket &socket, const QByteArray &data, QDeadlineTimer deadline)
{
    if (socket.write(data) != data.size())
        return false;
    while (socket.bytesToWrite() > 0) {
        if (deadline.hasExpired() || !socket.waitForBytesWritten(int(deadline.remainingTime())))
            return false;
    }
    return true;
}

bool readExactly(QLocalSocket &socket, qsizetype size, QByteArray &out, QDeadlineTimer deadline)
{
    while (socket.bytesAvailable() < size) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    out = socket.read(size);
    return true;
}

} // namespace

TOvRunOnce::TOvRunOnce(QObject *parent)
    : QObject(parent), m_instanceName(QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUpper())
{}

TOvRunOnce::~TOvRunOnce()
{
    if (m_server)
        m_server->close();
    // m_lock releases the lock as it goes.
}

QString TOvRunOnce::lockFilePath() const
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + u'/' + m_instanceName +
           u".lock"_s;
}

QString TOvRunOnce::serverName() const
{
    // The runtime folder is the user's own; the user id keeps the name apart
    // where the folder is shared or the path is too long for a socket.
    const QString name = u"%1-%2.socket"_s.arg(m_instanceName).arg(::getuid());
    const QString inRuntime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + u'/' + name;
    return QFile::encodeName(inRuntime).size() <= kMaxSocketPath ? inRuntime : name;
}

QByteArray TOvRunOnce::argumentBlock(const QStringList &paramStr)
{
    QByteArray block;
    for (const QString &s : paramStr) {
        block += s.toLocal8Bit();
        block += '\0';
    }
    block += '\0';
    if (block.size() > kBlockSize)
        throw Error(u"The command line is too long to hand over: %1 bytes, at most %2"_s.arg(block.size())
                        .arg(kBlockSize));
    return block;
}

QStringList TOvRunOnce::parseBlock(const QByteArray &block)
{
    QStringList strings;
    qsizetype start = 0;
    while (start < block.size()) {
        const qsizetype end = block.indexOf('\0', start);
        const qsizetype stop = end < 0 ? block.size() : end;
        if (stop == start)
            break;
        strings << QString::fromLocal8Bit(block.mid(start, stop - start));
        start = stop + 1;
    }
    return strings;
}

bool TOvRunOnce::Load(const QStringList &paramStr)
{
    if (takeLock()) {
        listen();
        return true;
    }
    handOver(paramStr);
    return false;
}

bool TOvRunOnce::takeLock()
{
    const QString path = lockFilePath();
    m_lock = std::make_unique<QLockFile>(path);
    // The lock of a live copy must never age out, whatever its age; a dead
    // owner is recognised by its process id.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    if (m_lock->error() != QLockFile::LockFailedError) {
        // No lock can be made at all (no runtime folder): running without the
        // guard beats never starting.
        m_lock.reset();
        return true;
    }
    qint64 pid = 0;
    QString host, app;
    if (!m_lock->getLockInfo(&pid, &host, &app) &&
        QFileInfo(path).lastModified().msecsTo(QDateTime::currentDateTime()) > kUnreadableLockAgeMs) {
        m_lock->removeStaleLockFile();
        if (m_lock->tryLock(0))
            return true;
    }
    m_lock.reset();
    return false;
}

void TOvRunOnce::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = serverName();
    // We hold the lock, so a socket of that name was left by a copy that died.
    QLocalServer::removeServer(name);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection())
            serve(socket);
    });
    // Without the socket later copies find nobody and end quietly; this copy
    // runs on all the same.
    m_server->listen(name);
}

void TOvRunOnce::serve(QLocalSocket *socket)
{
    struct Connection
    {
        QByteArray buffer;
        qint64 skip = 0; // bytes of a refused block still to come
    };
    auto in = std::make_shared<Connection>();
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, in, guard = QPointer<QLocalSocket>(socket)] {
        if (!guard)
            return;
        in->buffer.append(guard->readAll());
        while (guard && !in->buffer.isEmpty()) {
            if (in->skip > 0) {
                const qsizetype n = qsizetype(std::min<qint64>(in->skip, in->buffer.size()));
                in->buffer.remove(0, n);
                in->skip -= n;
                continue;
            }
            const char request = in->buffer.at(0);
            if (request == kPing) {
                in->buffer.remove(0, 1);
                char answer[4];
                qToBigEndian(kMarker, answer);
                guard->write(answer, sizeof answer);
            } else if (request == kRaise) {
                in->buffer.remove(0, 1);
                if (m_window) {
                    m_window->raise();
                    m_window->activateWindow();
                }
                guard->write(&kRaise, 1);
            } else if (request == kHandOver) {
                if (in->buffer.size() < 5)
                    return;
                const quint32 length = qFromBigEndian<quint32>(in->buffer.constData() + 1);
                if (length > quint32(kBlockSize)) {
                    // Refused, but answered as handled, so the copy that sent
                    // it goes on to its next request.
                    in->buffer.remove(0, 5);
                    in->skip = length;
                    guard->write(&kHandOver, 1);
                    reportError(
                        m_window,
                        Error(u"The handed-over command line is too long: %1 bytes, at most %2"_s.arg(length)
                                  .arg(kBlockSize)));
                    continue;
                }
                if (in->buffer.size() < 5 + qsizetype(length))
                    return;
                const QStringList strings = parseBlock(in->buffer.mid(5, length));
                in->buffer.remove(0, 5 + length);
                // A failing handler ends this hand-over only; the copy that
                // sent it still gets its answer.
                if (!strings.isEmpty())
                    guarded(m_window,
                            [&] { emit OnOtherInstance(this, unsigned(strings.size() - 1), strings); });
                if (guard)
                    guard->write(&kHandOver, 1);
            } else {
                // Not one of our copies: nothing to answer.
                in->buffer.clear();
                guard->abort();
            }
        }
    });
}

void TOvRunOnce::handOver(const QStringList &paramStr)
{
    const QByteArray block = argumentBlock(paramStr);
    QThread::msleep(kStartDelayMs);

    // Find the running copy. Two copies started at the same moment may find
    // the winner not yet listening, so connecting is retried for as long as
    // a ping may take.
    QLocalSocket socket;
    const QDeadlineTimer pingDeadline(kPingTimeoutMs);
    bool found = false;
    while (!found) {
        socket.connectToServer(serverName());
        if (socket.waitForConnected(int(std::max<qint64>(pingDeadline.remainingTime(), 0)))) {
            QByteArray answer;
            found = writeAll(socket, QByteArray(1, kPing), pingDeadline) &&
                    readExactly(socket, 4, answer, pingDeadline) &&
                    qFromBigEndian<quint32>(answer.constData()) == kMarker;
            break;
        }
        socket.abort();
        if (pingDeadline.hasExpired())
            break;
        QThread::msleep(20);
    }
    if (!found)
        return; // nobody answers: end quietly, handing nothing over

    QByteArray request(1, kHandOver);
    char length[4];
    qToBigEndian(quint32(block.size()), length);
    request.append(length, sizeof length);
    request += block;
    QByteArray reply;
    const QDeadlineTimer handled(kHandledLimitMs);
    if (!writeAll(socket, request, handled) || !readExactly(socket, 1, reply, handled))
        return;
    const QDeadlineTimer raised(kPingTimeoutMs);
    if (writeAll(socket, QByteArray(1, kRaise), raised))
        readExactly(socket, 1, reply, raised);
    socket.disconnectFromServer();
}

} // namespace brindle::app
