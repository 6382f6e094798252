#include "util/SingleInstanceLock.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

QString SingleInstanceLock::LockPath(const QString& name)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).filePath(name + QStringLiteral(".lock"));
}

SingleInstanceLock::SingleInstanceLock(const QString& name)
    : SingleInstanceLock(Descriptor{::open(QFile::encodeName(LockPath(name)).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)})
{
}

// The lock beside the database is a BSD lock (flock) on the database's folder:
// - a folder opened read-only takes it, so a read-only program folder does
//   too, and nothing is made in it;
// - SQLite locks the database file and its journal with POSIX locks (fcntl),
//   which flock on another file never meets; a descriptor of our own on the
//   database file would instead drop SQLite's locks in this process when
//   closed, and on NFS, where flock is carried out as fcntl, take its ranges;
// - the compaction and the restore put a new file in the database's place by
//   a rename, which a lock on the file would not follow; the folder stays
//   (the settings file is renamed into place too, and may be missing).
// Where the folder cannot be locked (on NFS, an exclusive lock needs a
// descriptor open for writing), the program runs unprotected.
SingleInstanceLock SingleInstanceLock::BesideDatabase(const QString& databasePath)
{
    const QFileInfo database(databasePath);
    const QString real = database.canonicalFilePath();
    const QString folder = QFileInfo(real.isEmpty() ? database.absoluteFilePath() : real).absolutePath();
    return SingleInstanceLock(Descriptor{::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)});
}

SingleInstanceLock::SingleInstanceLock(Descriptor descriptor)
    : m_fd(descriptor.fd)
{
    if (m_fd < 0)
        return;
    int rc;
    do
        rc = ::flock(m_fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0 && errno == EWOULDBLOCK)
        m_acquired = false;
}

SingleInstanceLock::~SingleInstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}
