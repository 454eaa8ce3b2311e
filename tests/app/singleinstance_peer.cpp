// A stand-in for another user in the single-instance tests, started through
// setpriv under another user id:
//   singleinstance_peer listen SOCKET LOG  answers like a running copy (the marker to
//                                   a ping, then "handled") and appends every
//                                   byte it is sent to LOG; prints "ready"
//                                   once it listens
//   singleinstance_peer ping SOCKET        pings a running copy; status 0 when it
//                                   answered with the marker, 2 when it closed
//                                   or kept silent, 3 when nothing listens

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QtEndian>

#include <cstdio>

#include <sys/stat.h>

namespace {

constexpr quint32 kMarker = 0x0BADF00D;

int listenOn(const QString &path, const QString &log)
{
    // Where the folder is missing, this user makes it first (a squatter).
    ::mkdir(QFile::encodeName(QFileInfo(path).path()).constData(), 0700);
    QLocalServer server;
    server.setSocketOptions(QLocalServer::WorldAccessOption);
    if (!server.listen(path)) {
        std::fprintf(stderr, "singleinstance_peer: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    QObject::connect(&server, &QLocalServer::newConnection, &server, [&server, log] {
        while (QLocalSocket *socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::readyRead, socket,
                             [socket, log, pinged = false]() mutable {
                                 const QByteArray data = socket->readAll();
                                 QFile file(log);
                                 if (file.open(QIODevice::Append))
                                     file.write(data);
                                 if (!pinged) {
                                     char answer[4];
                                     qToBigEndian(kMarker, answer);
                                     socket->write(answer, sizeof answer);
                                     pinged = true;
                                 } else {
                                     socket->write("HR"); // handled, raised
                                 }
                             });
        }
    });
    std::puts("ready");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

int ping(const QString &path)
{
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(3000))
        return 3;
    socket.write("P");
    socket.waitForBytesWritten(3000);
    while (socket.bytesAvailable() < 4 && socket.waitForReadyRead(3000)) {
    }
    if (socket.bytesAvailable() >= 4 && qFromBigEndian<quint32>(socket.read(4).constData()) == kMarker)
        return 0;
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 4 && args[1] == QLatin1String("listen"))
        return listenOn(args[2], args[3]);
    if (args.size() == 3 && args[1] == QLatin1String("ping"))
        return ping(args[2]);
    std::fputs("usage: singleinstance_peer listen SOCKET LOG | ping SOCKET\n", stderr);
    return 64;
}
