#pragma once

// TOvRunOnce, the single-instance guard: keeps one copy of the program running
// per user. The first copy takes a lock file named after its program file and
// listens on a local socket; a later copy hands its command line to it over
// that socket, asks it to bring its main window forward and ends before
// showing anything. Lock and socket live only in a folder of the user's own
// that nobody else can write, and both ends refuse a peer of another user.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace brindle::app {

class TOvRunOnce : public QObject
{
    Q_OBJECT

public:
    static constexpr int kStartDelayMs = 100;      // a later copy waits this long before looking
    static constexpr int kPingTimeoutMs = 1000;    // for finding the running copy and its answer
    static constexpr qsizetype kBlockSize = 65536; // largest command-line block handed over
    static constexpr quint32 kMarker = 0x0BADF00D; // the running copy's answer to a ping

    explicit TOvRunOnce(QObject *parent = nullptr);
    ~TOvRunOnce() override;

    // The upper-cased file name of the program ("BRINDLE"); it names the lock
    // and the socket, so a copy of the program under another name runs apart.
    QString instanceName() const { return m_instanceName; }
    void setInstanceName(const QString &name)
    {
        m_instanceName = name;
        m_folder.clear();
    }
    // The folder of the lock and the socket: the runtime folder, or where a
    // socket path there would be too long, the private folder "brindle-UID"
    // in the temporary folder. Chosen at the first call; load() makes and
    // checks it.
    QString folder() const;
    QString lockFilePath() const;
    QString serverName() const;

    // Decides whether this copy runs. True: this copy goes on; it is the
    // running copy (holds the lock and answers later copies until it is
    // destroyed) or, when the guard cannot be had, runs without it after
    // saying why on standard error. False: a running copy answered and has
    // been handed the arguments (item 0 the program path), or it is hung;
    // this copy must end now. Throws brindle::Error, before anything is
    // sent, when a copy answered and the block would be larger than
    // kBlockSize.
    bool load(const QStringList &arguments);
    bool isRunningCopy() const { return m_server != nullptr; }

    // The window that a later copy brings forward.
    void setMainWindow(QWidget *window) { m_window = window; }

    // The hand-over block: every string followed by NUL, then one more NUL.
    static QByteArray argumentBlock(const QStringList &arguments);
    // The strings of a block, up to the first empty one.
    static QStringList parseBlock(const QByteArray &block);

signals:
    // A later copy's command line, item 0 first; ParamCount is its number of
    // strings minus 1.
    void OnOtherInstance(QObject *sender, unsigned ParamCount, const QStringList &ParamStr);

private:
    enum class Lock
    {
        Taken,
        Held,
        Unavailable
    };
    enum class Found
    {
        Copy,
        HungCopy,
        Nobody
    };

    Lock takeLock();
    bool takeOverLock();
    void listen();
    void serve(QLocalSocket *socket);
    Found handOver(const QStringList &arguments);

    QString m_instanceName;
    mutable QString m_folder;
    mutable bool m_isPrivateFolder = false;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    QPointer<QWidget> m_window;
};

} // namespace brindle::app
