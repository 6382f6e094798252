#pragma once

#include <QString>

// Marks one running instance with an exclusive lock, which the kernel drops
// when the process ends, so an instance that crashed never blocks the next
// start. Two places are locked: a file in the user's runtime folder (one
// instance per user and session), and the folder of the ride database (one
// program on a log, whoever starts it from whichever session).
class SingleInstanceLock
{
public:
    // The lock file `name`.lock in the user's runtime folder.
    explicit SingleInstanceLock(const QString& name);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // The lock on the folder the database file lies in (through a symbolic
    // link, the folder of the file it leads to).
    static SingleInstanceLock BesideDatabase(const QString& databasePath);

    // False when another instance holds the lock. When the lock cannot be
    // had at all the program runs unprotected, so this is then true.
    bool Acquired() const { return m_acquired; }
    static QString LockPath(const QString& name);

private:
    struct Descriptor
    {
        int fd;
    };
    explicit SingleInstanceLock(Descriptor descriptor);

    int m_fd = -1;
    bool m_acquired = true;
};
