#pragma once

#include <QString>

// File operations whose effect survives a crash or a power cut once they
// return true; on false, `error` says why (the system's own words).
namespace DurableFiles {

// Flushes a file's contents to the disk.
bool SyncFile(const QString& path, QString& error);
// Flushes a folder's entries, so files made, renamed or removed in it stay so.
bool SyncFolder(const QString& path, QString& error);
// Gives the file at `from` the second name `to` (which must not exist). A
// file system without hard links gets a copy, flushed to disk, instead.
bool LinkOrCopy(const QString& from, const QString& to, QString& error);
// Gives the file `to` the permission bits of `from`, and its owner and group
// as far as the system lets this user give them.
bool CopyAccess(const QString& from, const QString& to, QString& error);
// Puts `from` at `to` in one step, replacing whatever file was there: at no
// moment is `to` missing or partly written.
bool Replace(const QString& from, const QString& to, QString& error);

}
