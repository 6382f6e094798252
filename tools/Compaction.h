#pragma once

#include <QString>

class TZTConnection;

// Compaction of the ride database with a backup of it as it was.
namespace Compaction {

// The messages of its failures: the files could not be had alone, renamed or
// linked; or the compacted copy could not be made or is not sound.
inline const QString RenameRefusedText = QStringLiteral("impossibile rinominare il file.");
inline const QString EngineFailedText = QStringLiteral("OleFunction CompactDatabase exception.");

// The database path with the extension ".mdbbak".
QString BackupPath(const QString& dataSource);

// Compacts the database at `dataSource`, opened through the connection
// string `connectionTemplate` ("%DATASOURCE%" and "%PASSWORD%" filled in).
//
// The database is held for the compaction alone from before the copy until
// the copy has replaced it: a transaction of another process first ends
// (waited for up to the busy timeout of `inUse`, else the default one), and
// none starts before the end. A database in WAL mode is copied in rollback
// journal mode, and the new file gets WAL mode back; while another process
// has it open, the compaction does not start.
//
// `inUse`, the caller's own connection to the database, is closed once the
// compaction holds the database (for WAL mode, as soon as that mode is
// seen); when the database cannot be had before then, it stays open and
// nothing has changed.
//
// The database path then holds the compacted database, the backup the one
// before. On failure it throws Exception with RenameRefusedText or
// EngineFailedText as the message and what went wrong as the detail; the
// database is untouched, and Why::Refused says it could not be had alone.
// Only when the backup alone cannot take its name is the database
// compacted all the same; the detail says where the old one stays.
//
// A symbolic link at `dataSource` stays: the file it leads to is compacted,
// with its backup and work files in that file's folder. The compacted copy
// gets the old file's permissions (and its owner and group where the system
// allows), is flushed to disk and checked with PRAGMA integrity_check; only
// then does it replace the database in one rename. At every moment the
// database path holds a whole database with every ride, and the backup path
// a whole backup: the previous one until the new one is in place.
void CompactDatabase(const QString& connectionTemplate, const QString& dataSource, TZTConnection* inUse = nullptr);

}
