#pragma once

#include <QString>

// File operations whose effect survives a crash or a power cut once they
// return. Each throws Exception with the system's own words when it cannot.
namespace DurableFiles {

// Flushes a file's contents to the disk.
void SyncFile(const QString& path);
// Flushes a folder's entries, so files made, renamed or removed in it stay
// so. Never raises: it only follows renames that were whole already, so a
// folder that cannot be flushed changes no outcome.
void SyncFolder(const QString& path) noexcept;
// Gives the file at `from` the second name `to` (which must not exist). A
// file system without hard links gets a copy, flushed to disk, instead.
void LinkOrCopy(const QString& from, const QString& to);
// Gives the file `to` the permission bits of `from`, and its owner and group
// as far as the system lets this user give them.
void CopyAccess(const QString& from, const QString& to);
// Puts `from` at `to` in one step, replacing whatever file was there: at no
// moment is `to` missing or partly written.
void Replace(const QString& from, const QString& to);

}
