#include "tools/DurableFiles.h"

#include "util/Exception.h"
#include "util/FileDescriptor.h"
#include "util/SystemErrors.h"

#include <QFile>
#include <QScopeGuard>

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

[[noreturn]] void FailAt(const QString& what, const QString& path)
{
    throw Exception(SystemError(what, path));
}

// On false, errno is the open's or the fsync's, not the close's.
bool Synced(const QString& path, int flags)
{
    int error = 0;
    {
        const FileDescriptor fd(::open(Native(path).constData(), flags | O_CLOEXEC));
        if (fd.get() >= 0 && ::fsync(fd.get()) == 0)
            return true;
        error = errno;
    }
    errno = error;
    return false;
}

bool HardLinksUnsupported(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == ENOTSUP || error == EMLINK || error == EXDEV;
}

}

namespace DurableFiles {

void SyncFile(const QString& path)
{
    if (!Synced(path, O_RDONLY))
        FailAt(QStringLiteral("fsync"), path);
}

void SyncFolder(const QString& path) noexcept
{
    Synced(path, O_RDONLY | O_DIRECTORY);
}

void LinkOrCopy(const QString& from, const QString& to)
{
    if (::link(Native(from).constData(), Native(to).constData()) == 0)
        return;
    if (!HardLinksUnsupported(errno))
        FailAt(QStringLiteral("link to"), to);
    // EPERM also comes from a folder that refuses changes: the copy then
    // fails as well, and its error is the one reported.
    QFile source(from);
    if (!source.copy(to))
        throw Exception(QStringLiteral("copy to '%1': %2").arg(to, source.errorString()));
    auto removeCopy = qScopeGuard([&] { QFile::remove(to); });
    SyncFile(to);
    removeCopy.dismiss();
}

void CopyAccess(const QString& from, const QString& to)
{
    struct stat source{};
    if (::stat(Native(from).constData(), &source) != 0)
        FailAt(QStringLiteral("stat of"), from);
    const QByteArray target = Native(to);
    // Only root may give a file away; anyone may pass it to a group of theirs.
    // Both before chmod, since chown clears the set-id bits.
    if (::chown(target.constData(), source.st_uid, source.st_gid) != 0)
        (void)::chown(target.constData(), uid_t(-1), source.st_gid);
    if (::chmod(target.constData(), source.st_mode & 07777) != 0)
        FailAt(QStringLiteral("chmod of"), to);
}

void Replace(const QString& from, const QString& to)
{
    if (std::rename(Native(from).constData(), Native(to).constData()) != 0)
        FailAt(QStringLiteral("rename to"), to);
}

}
