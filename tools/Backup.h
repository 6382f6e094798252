#pragma once

#include <QDateTime>
#include <QString>

#include <vector>

class TZTConnection;

// Checked copies of the ride database in the folder "backup" beside it, named
// by the time they were taken (kilovento-AAAAMMGG-hhmmss.mdb), and the way
// back to one of them.
//
// Both the backup and the restore hold the database as the compaction does,
// from before the copy until the rename that ends the work: a transaction of
// another process first ends (up to the busy timeout of `inUse`, else the
// default one) or the work is refused with nothing changed: Exception with
// Why::Refused. Any other failure throws Exception too and leaves the
// database untouched. Each message reads "what failed (why)." for the rider,
// the why also being the detail. A copy is made in a work file whose name is
// no backup's, gets the database's permissions, is flushed and passes PRAGMA
// integrity_check before it is renamed into place.
// Through a symbolic link, the file it leads to is backed up and restored,
// its backup folder beside it.
namespace Backup {

// How many backups the folder keeps: the oldest go once a new one is in place.
inline constexpr int Kept = 10;

// One file that a restore can start from.
struct Entry
{
    QString path;
    QDateTime taken;         // from its name; the compaction's, when it was written
    bool compaction = false; // the backup the compaction leaves (".mdbbak")
    qint64 bytes = 0;
    bool damaged = false;    // cannot be restored: does not open as a ride database, or fails the check
    bool otherShape = false; // of those, a sound file without the tables and columns of the ride log
    QString problem;         // why it cannot be restored
    int rides = 0;
    double km = 0.0;
};

QString Folder(const QString& dataSource);

// Whether the database may differ from the newest backup: none was taken,
// the file is another or has changed since, or a log holds writes not yet
// in it. Reads only the files' metadata.
bool NeedsBackup(const QString& dataSource);

// A new backup of the database, taken at `now`; the folder then keeps the
// Kept newest. `inUse`, the caller's connection, is closed once the database
// is held and stays open when it cannot be. Returns the new backup's path.
QString MakeBackup(const QString& connectionTemplate, const QString& dataSource,
                  const QDateTime& now = QDateTime::currentDateTime(), TZTConnection* inUse = nullptr);

// Every backup of the folder and the compaction's, newest first, each opened
// and checked: one that does not open or fails the check is a damaged entry,
// not a failure.
std::vector<Entry> List(const QString& connectionTemplate, const QString& dataSource);

// Replaces the database with a checked copy of `chosen`, after a backup of
// the database as it is (taken at `now`). On any failure the database stays
// as it was, and `inUse` open when the database could not be had.
void Restore(const QString& connectionTemplate, const QString& dataSource, const QString& chosen,
               const QDateTime& now = QDateTime::currentDateTime(), TZTConnection* inUse = nullptr);

// Why the last automatic backup failed, kept until the next start reads it;
// reading removes it. Empty when there is none. The note lies in the user's
// state folder ($XDG_STATE_HOME/kilovento), which a read-only program folder
// does not take from it; a note an older version left beside the database
// is read too.
void WriteFailureNote(const QString& dataSource, const QString& reason);
bool HasFailureNote(const QString& dataSource);
QString TakeFailureNote(const QString& dataSource);
QString FailureNotePath(const QString& dataSource);

}
