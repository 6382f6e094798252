#pragma once

#include <QString>

// Compaction of the ride database with a backup of it as it was.
namespace Compaction {

enum class Outcome {
    Compacted,      // the database path holds the compacted database, the backup the one before
    BackupRefused,  // the files could not be renamed or linked; the database is untouched
    EngineFailed,   // the compacted copy could not be made or is not sound; the database is untouched
};

struct Result
{
    Outcome outcome = Outcome::Compacted;
    QString message; // for the rider, after "Eccezione: "; empty on success
    QString detail;  // what exactly went wrong, for tests and debugging
};

inline const QString RenameRefusedText = QStringLiteral("impossibile rinominare il file.");
inline const QString EngineFailedText = QStringLiteral("OleFunction CompactDatabase exception.");

// The database path with the extension ".mdbbak".
QString BackupPath(const QString& dataSource);

// Compacts the database at `dataSource`, opened through the connection
// string `connectionTemplate` ("%DATASOURCE%" and "%PASSWORD%" filled in);
// nothing else may have it open. The compacted copy is written beside the
// database, flushed to disk and checked with PRAGMA integrity_check; only
// then does it replace the database in one rename. At every moment the
// database path holds a whole database with every ride, and the backup path
// a whole backup: the previous one until the new one is in place.
Result CompactDatabase(const QString& connectionTemplate, const QString& dataSource);

}
