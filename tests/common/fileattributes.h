#pragma once

// What a file carries besides its bytes (owner, group, mode, ACL, extended
// attributes), and the users the permission tests act as.

#include "base/filename.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace brindle::test {

// Ids no account on the machine has: root gives files to them, and runs
// brindle-cli as them (CliOptions::user), so that permissions apply as they
// do to ordinary users, also when the tests run as root.
inline constexpr uid_t kUserA = 64101;
inline constexpr uid_t kUserB = 64102;
inline constexpr gid_t kGroupA = 64101; // user A's own group
inline constexpr gid_t kGroupB = 64102;
inline constexpr gid_t kGroupShared = 64110; // a group neither belongs to

inline bool canActAsOtherUsers()
{
    return ::geteuid() == 0;
}

// Owner, group, mode and every extended attribute (the ACL among them) of
// what path names, as one line to compare; "<missing>" when there is none.
inline QString fileAttributesText(const QString &path, bool followLinks = false)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st = {};
    if ((followLinks ? ::stat(native.constData(), &st) : ::lstat(native.constData(), &st)) != 0)
        return QStringLiteral("<missing>");
    QString text =
        QStringLiteral("%1:%2 %3").arg(st.st_uid).arg(st.st_gid).arg(st.st_mode & 07777, 4, 8, QChar(u'0'));
    QByteArray names(65536, '\0');
    const ssize_t n = followLinks ? ::listxattr(native.constData(), names.data(), std::size_t(names.size()))
                                  : ::llistxattr(native.constData(), names.data(), std::size_t(names.size()));
    names.truncate(n > 0 ? n : 0);
    QList<QByteArray> sorted = names.split('\0');
    std::sort(sorted.begin(), sorted.end());
    for (const QByteArray &name : sorted) {
        if (name.isEmpty())
            continue;
        QByteArray value(65536, '\0');
        const ssize_t size = followLinks
                                 ? ::getxattr(native.constData(), name.constData(), value.data(), 65536)
                                 : ::lgetxattr(native.constData(), name.constData(), value.data(), 65536);
        value.truncate(size > 0 ? size : 0);
        text += QStringLiteral(" %1=%2").arg(QString::fromLatin1(name), QString::fromLatin1(value.toHex()));
    }
    return text;
}

// Every name in the folder, sorted, as the file system holds it (QDir
// leaves out names that are not UTF-8).
inline QStringList namesIn(const QString &folder)
{
    QStringList names;
    if (DIR *d = ::opendir(fileNameBytes(folder).constData())) {
        while (const dirent *e = ::readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names << fileNameFromBytes(e->d_name);
        }
        ::closedir(d);
    }
    names.sort();
    return names;
}

// setfacl with its arguments; true when it succeeded.
inline bool setfacl(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("setfacl"), arguments) == 0;
}

inline bool setUserAttribute(const QString &path, const char *name, QByteArrayView value)
{
    return ::lsetxattr(QFile::encodeName(path).constData(), name, value.data(), std::size_t(value.size()),
                       0) == 0;
}

} // namespace brindle::test
