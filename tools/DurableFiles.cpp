#include "tools/DurableFiles.h"

#include "util/FileDescriptor.h"
#include "util/SystemErrors.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The rider's words first where there are some ("disco pieno. rename ..."),
// as the database's failures read.
QString SystemError(const QString& what, const QString& path)
{
    const int error = errno;
    const QString technical = QStringLiteral("%1 '%2': %3").arg(what, path, QString::fromLocal8Bit(std::strerror(error)));
    const QString words = SystemErrorWords(error);
    return words.isEmpty() ? technical : words + QStringLiteral(". ") + technical;
}

QByteArray Native(const QString& path)
{
    return QFile::encodeName(path);
}

bool Sync(const QString& path, int flags, const QString& what, QString& error)
{
    const FileDescriptor fd(::open(Native(path).constData(), flags | O_CLOEXEC));
    if (fd.get() < 0 || ::fsync(fd.get()) != 0) {
        error = SystemError(what, path);
        return false;
    }
    return true;
}

bool HardLinksUnsupported(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == ENOTSUP || error == EMLINK || error == EXDEV;
}

}

namespace DurableFiles {

bool SyncFile(const QString& path, QString& error)
{
    return Sync(path, O_RDONLY, QStringLiteral("fsync"), error);
}

bool SyncFolder(const QString& path, QString& error)
{
    return Sync(path, O_RDONLY | O_DIRECTORY, QStringLiteral("fsync of the folder"), error);
}

bool LinkOrCopy(const QString& from, const QString& to, QString& error)
{
    if (::link(Native(from).constData(), Native(to).constData()) == 0)
        return true;
    if (!HardLinksUnsupported(errno)) {
        error = SystemError(QStringLiteral("link to"), to);
        return false;
    }
    // EPERM also comes from a folder that refuses changes: the copy then
    // fails as well, and its error is the one reported.
    QFile source(from);
    if (!source.copy(to)) {
        error = QStringLiteral("copy to '%1': %2").arg(to, source.errorString());
        QFile::remove(to);
        return false;
    }
    if (!SyncFile(to, error)) {
        QFile::remove(to);
        return false;
    }
    return true;
}

bool CopyAccess(const QString& from, const QString& to, QString& error)
{
    struct stat source{};
    if (::stat(Native(from).constData(), &source) != 0) {
        error = SystemError(QStringLiteral("stat of"), from);
        return false;
    }
    const QByteArray target = Native(to);
    // Only root may give a file away; anyone may pass it to a group of theirs.
    // Both before chmod, since chown clears the set-id bits.
    if (::chown(target.constData(), source.st_uid, source.st_gid) != 0)
        (void)::chown(target.constData(), uid_t(-1), source.st_gid);
    if (::chmod(target.constData(), source.st_mode & 07777) != 0) {
        error = SystemError(QStringLiteral("chmod of"), to);
        return false;
    }
    return true;
}

bool Replace(const QString& from, const QString& to, QString& error)
{
    if (std::rename(Native(from).constData(), Native(to).constData()) != 0) {
        error = SystemError(QStringLiteral("rename to"), to);
        return false;
    }
    return true;
}

}
