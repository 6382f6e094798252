#pragma once

#include "data/TZTConnection.h"

#include <QString>

#include <memory>

class QTemporaryDir;

// The pieces of a copy that may take a database's place: the file a link
// leads to, the check of the copy, and its journal mode.
namespace CheckedCopy {

// Through a symbolic link, the file it leads to: replacing the link with a
// copy would part it from the rides saved through it.
QString RealFile(const QString& path);

// Runs PRAGMA integrity_check on the database; throws Exception with
// "integrity check: " and what it finds wrong, or the database's own failure
// when it cannot run.
void CheckIntegrity(TZTConnection& connection);
// The same on a read-only connection of its own.
void CheckIntegrity(const QString& connectionString);

// Flushes the copy at `path` to disk while checking it: the check only reads
// it, and both must succeed before it takes a database's place. Throws the
// check's failure, else the flush's.
void FlushAndCheck(const QString& connectionTemplate, const QString& path);

// A database file opened to be read as it lies on disk, with nothing left
// beside it: a read-only connection to a WAL database would make its index
// (and a log) there, and keep them. A file alone is read in place without
// locks, as nothing writes a backup. A file with a log or a journal beside
// it, whose committed pages may not be in the file yet, is read from a
// private copy of both, where SQLite folds them together as it would in place.
class FileAsItLies
{
public:
    FileAsItLies();
    ~FileAsItLies();
    FileAsItLies(const FileAsItLies&) = delete;
    FileAsItLies& operator=(const FileAsItLies&) = delete;

    // Throws Exception when the file, or its copy, cannot be opened
    // (Why::OtherShape for a sound file of another shape).
    void Open(const QString& connectionTemplate, const QString& path);
    TZTConnection& Connection() { return m_connection; }

private:
    std::unique_ptr<QTemporaryDir> m_copy;
    TZTConnection m_connection; // closed before the copy goes
};

bool InWalMode(TZTConnection& connection);
// Sets the journal mode of the database in a transaction of its own, which
// SQLite flushes; closing the only connection folds a log into the file.
void UseWriteAheadLog(const QString& connectionString);
void UseRollbackJournal(const QString& connectionString);

}
