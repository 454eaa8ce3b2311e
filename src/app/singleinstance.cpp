#include "app/singleinstance.h"

#include "base/dialogs.h"
#include "base/error.h"

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
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace brindle::app {

namespace {

// Requests of a later copy, one byte each; the hand-over is followed by the
// block's length (32 bits, big-endian) and the block.
constexpr char kPing = 'P';
constexpr char kHandOver = 'H';
constexpr char kRaise = 'R';
// The hand-over request before its block: the request byte and the length.
constexpr qsizetype kHandOverHeaderSize = 1 + 4;

// The later copy waits for its hand-over to be handled, but not for ever:
// a running copy that stopped answering must not leave an invisible process.
constexpr int kHandledLimitMs = 30000;
// A lock file without readable owner was left by a copy that died while
// writing it; after this age nobody is writing it any more.
constexpr qint64 kUnreadableLockAgeMs = 2000;
// Longest path a local socket can have (sun_path less the NUL).
constexpr qsizetype kMaxSocketPath = 107;

const QString kWithoutGuard = u"; running without the single-instance guard"_s;

// Before the main window exists, standard error is the only place to say
// why this copy is not guarded the usual way.
void warn(const QString &text)
{
    const QByteArray line =
        (QFileInfo(QCoreApplication::applicationFilePath()).fileName() + u": "_s + text).toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString socketFileName(const QString &instanceName)
{
    return u"%1-%2.socket"_s.arg(instanceName).arg(::getuid());
}

bool fitsSocket(const QString &path)
{
    return QFile::encodeName(path).size() <= kMaxSocketPath;
}

// Why the folder may not hold the lock and the socket, empty when it may.
// Where another user can add or replace a file, they could put a socket of
// their own where later copies look and receive their command lines.
QString unfitFolder(const QString &path, bool isPrivate)
{
    const QByteArray native = QFile::encodeName(path);
    if (isPrivate && ::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return u"cannot make the folder %1: %2"_s.arg(path, errnoText());
    struct stat info = {};
    // The private folder sits in a shared one, where a symbolic link of
    // another user's could stand in its place.
    if ((isPrivate ? ::lstat(native.constData(), &info) : ::stat(native.constData(), &info)) != 0)
        return u"cannot use the folder %1: %2"_s.arg(path, errnoText());
    if (!S_ISDIR(info.st_mode))
        return u"%1 is not a folder"_s.arg(path);
    if (info.st_uid != ::geteuid())
        return u"the folder %1 belongs to user %2"_s.arg(path).arg(info.st_uid);
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return u"other users can write to the folder %1"_s.arg(path);
    return {};
}

// The user of the process at the other end of a connected local socket, or
// -1 when it cannot be told.
qint64 peerUid(const QLocalSocket &socket)
{
    ucred peer = {};
    socklen_t size = sizeof peer;
    const qintptr fd = socket.socketDescriptor();
    if (fd < 0 || ::getsockopt(int(fd), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || size != sizeof peer)
        return -1;
    return qint64(peer.uid);
}

bool isOwnUser(qint64 uid)
{
    return uid == qint64(::geteuid());
}

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

QString TOvRunOnce::folder() const
{
    if (!m_folder.isEmpty())
        return m_folder;
    m_folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    m_isPrivateFolder = m_folder.isEmpty() || !fitsSocket(m_folder + u'/' + socketFileName(m_instanceName));
    if (m_isPrivateFolder) {
        QString temp = QDir::tempPath();
        if (temp.isEmpty()) // TMPDIR names no folder
            temp = u"/tmp"_s;
        m_folder = temp + u"/brindle-%1"_s.arg(::geteuid());
    }
    return m_folder;
}

QString TOvRunOnce::lockFilePath() const
{
    return folder() + u'/' + m_instanceName + u".lock"_s;
}

QString TOvRunOnce::serverName() const
{
    return folder() + u'/' + socketFileName(m_instanceName);
}

QByteArray TOvRunOnce::argumentBlock(const QStringList &arguments)
{
    QByteArray block;
    for (const QString &s : arguments) {
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

bool TOvRunOnce::load(const QStringList &arguments)
{
    // Running without the guard beats never starting, whatever stands in
    // the way.
    const QString where = folder(); // chooses the kind of folder too
    QString unfit = unfitFolder(where, m_isPrivateFolder);
    if (unfit.isEmpty() && !fitsSocket(serverName()))
        unfit = u"the socket path %1 is too long"_s.arg(serverName());
    if (!unfit.isEmpty()) {
        warn(unfit + kWithoutGuard);
        return true;
    }
    switch (takeLock()) {
    case Lock::Taken:
        listen();
        return true;
    case Lock::Unavailable:
        return true;
    case Lock::Held:
        break;
    }
    if (handOver(arguments) != Found::Nobody)
        return false;
    if (takeOverLock()) {
        listen();
        return true;
    }
    warn(u"the lock %1 is held, but no running copy answers"_s.arg(lockFilePath()) + kWithoutGuard);
    return true;
}

TOvRunOnce::Lock TOvRunOnce::takeLock()
{
    const QString path = lockFilePath();
    m_lock = std::make_unique<QLockFile>(path);
    // The lock of a live copy must never age out, whatever its age; a dead
    // owner is recognised by its process id.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return Lock::Taken;
    if (m_lock->error() != QLockFile::LockFailedError) {
        warn(u"cannot make the lock %1"_s.arg(path) + kWithoutGuard);
        m_lock.reset();
        return Lock::Unavailable;
    }
    qint64 pid = 0;
    QString host, app;
    if (!m_lock->getLockInfo(&pid, &host, &app) &&
        QFileInfo(path).lastModified().msecsTo(QDateTime::currentDateTime()) > kUnreadableLockAgeMs) {
        m_lock->removeStaleLockFile();
        if (m_lock->tryLock(0))
            return Lock::Taken;
    }
    m_lock.reset();
    return Lock::Held;
}

bool TOvRunOnce::takeOverLock()
{
    // Nobody answers on the socket, so whatever holds the lock is no copy of
    // this program for this user. A lock file that no process keeps locked
    // goes, whatever it says; one a live process keeps locked stays.
    m_lock = std::make_unique<QLockFile>(lockFilePath());
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0) || (m_lock->removeStaleLockFile() && m_lock->tryLock(0)))
        return true;
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
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            if (const qint64 uid = peerUid(*socket); !isOwnUser(uid)) {
                warn(u"refused a connection from user %1 to %2"_s.arg(uid).arg(m_server->fullServerName()));
                socket->abort();
                socket->deleteLater();
                continue;
            }
            serve(socket);
        }
    });
    // Without the socket later copies find nobody and run unguarded; this
    // copy runs on all the same.
    if (!m_server->listen(name))
        warn(u"cannot listen on %1: %2; later starts will not find this copy"_s.arg(name,
                                                                                    m_server->errorString()));
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
                if (in->buffer.size() < kHandOverHeaderSize)
                    return;
                const quint32 length = qFromBigEndian<quint32>(in->buffer.constData() + 1);
                if (length > quint32(kBlockSize)) {
                    // Refused, but answered as handled, so the copy that sent
                    // it goes on to its next request.
                    in->buffer.remove(0, kHandOverHeaderSize);
                    in->skip = length;
                    guard->write(&kHandOver, 1);
                    reportError(
                        m_window,
                        Error(u"The handed-over command line is too long: %1 bytes, at most %2"_s.arg(length)
                                  .arg(kBlockSize)));
                    continue;
                }
                if (in->buffer.size() < kHandOverHeaderSize + qsizetype(length))
                    return;
                const QStringList strings = parseBlock(in->buffer.mid(kHandOverHeaderSize, length));
                in->buffer.remove(0, kHandOverHeaderSize + length);
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

TOvRunOnce::Found TOvRunOnce::handOver(const QStringList &arguments)
{
    QThread::msleep(kStartDelayMs);

    // Find the running copy. Two copies started at the same moment may find
    // the winner not yet listening, so connecting is retried for as long as
    // a ping may take.
    QLocalSocket socket;
    const QDeadlineTimer pingDeadline(kPingTimeoutMs);
    Found found = Found::Nobody;
    for (;;) {
        socket.connectToServer(serverName());
        if (socket.waitForConnected(int(std::max<qint64>(pingDeadline.remainingTime(), 0)))) {
            QByteArray answer;
            if (const qint64 uid = peerUid(socket); !isOwnUser(uid))
                warn(u"%1 is served by user %2, not by this user; nothing was handed over"_s.arg(serverName())
                         .arg(uid));
            else if (writeAll(socket, QByteArray(1, kPing), pingDeadline) &&
                     readExactly(socket, 4, answer, pingDeadline))
                found = qFromBigEndian<quint32>(answer.constData()) == kMarker ? Found::Copy : Found::Nobody;
            else if (socket.state() == QLocalSocket::ConnectedState)
                found = Found::HungCopy; // took the connection, kept silent
            break;
        }
        socket.abort();
        if (pingDeadline.hasExpired())
            break;
        QThread::msleep(20);
    }
    if (found == Found::HungCopy)
        warn(u"the running copy on %1 does not answer; this start ends"_s.arg(serverName()));
    if (found != Found::Copy)
        return found;

    const QByteArray block = argumentBlock(arguments);
    QByteArray request(1, kHandOver);
    char length[kHandOverHeaderSize - 1];
    qToBigEndian(quint32(block.size()), length);
    request.append(length, sizeof length);
    request += block;
    QByteArray reply;
    const QDeadlineTimer handled(kHandledLimitMs);
    if (!writeAll(socket, request, handled) || !readExactly(socket, 1, reply, handled))
        return found;
    const QDeadlineTimer raised(kPingTimeoutMs);
    if (writeAll(socket, QByteArray(1, kRaise), raised))
        readExactly(socket, 1, reply, raised);
    socket.disconnectFromServer();
    return found;
}

} // namespace brindle::app
