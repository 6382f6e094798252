#pragma once

#include <QString>

// Marks one running instance per user with an exclusive lock on a file in the
// user's runtime folder. The kernel drops the lock when the process ends, so
// an instance that crashed never blocks the next start.
class SingleInstanceLock
{
public:
    explicit SingleInstanceLock(const QString& name);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // False when another instance holds the lock. When the lock file cannot
    // be made at all the program runs unprotected, so this is then true.
    bool Acquired() const { return m_acquired; }
    static QString LockPath(const QString& name);

private:
    int m_fd = -1;
    bool m_acquired = true;
};
