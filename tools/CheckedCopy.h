#pragma once

#include <QString>

class TZTConnection;

// The pieces of a copy that may take a database's place: the file a link
// leads to, the check of the copy, and its journal mode.
namespace CheckedCopy {

// Through a symbolic link, the file it leads to: replacing the link with a
// copy would part it from the rides saved through it.
QString RealFile(const QString& path);

// What PRAGMA integrity_check, or the attempt to run it, finds wrong with the
// database; empty for a sound one.
QString IntegrityProblem(TZTConnection& connection);
// The same on a read-only connection of its own.
QString IntegrityProblem(const QString& connectionString);

// Flushes the copy at `path` to disk while checking it: the check only reads
// it, and both must succeed before it takes a database's place. Empty when
// both did, else what went wrong.
QString FlushAndCheck(const QString& connectionTemplate, const QString& path);

bool InWalMode(TZTConnection& connection);
// Sets the journal mode of the database in a transaction of its own, which
// SQLite flushes; closing the only connection folds a log into the file.
void UseWriteAheadLog(const QString& connectionString);
void UseRollbackJournal(const QString& connectionString);

}
