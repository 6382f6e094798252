#include "ReadOnlyFolder.h"

#include <QFile>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

ReadOnlyFolder::ReadOnlyFolder(const QString& path)
    : m_path(path)
{
    m_done = geteuid() == 0 ? SetImmutable(true) : ::chmod(QFile::encodeName(path).constData(), 0555) == 0;
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (m_done && geteuid() == 0)
        SetImmutable(false);
    else if (m_done)
        ::chmod(QFile::encodeName(m_path).constData(), 0755);
}

bool ReadOnlyFolder::SetImmutable(bool on)
{
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}
