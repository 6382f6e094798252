#pragma once

#include <QString>
#include <QStringList>

class CommandScreen;
class RideLog;

// Commands of the main window that live in their own units: each works on the
// log and shows itself on the screen, never on the window itself.

// "Importa dati da file DAT...": rides from a folder of monthly ".dat" files.
void ImportDatFilesCommand(RideLog& log, CommandScreen& screen);
// "Compatta e ripristina database": compaction with a backup, then reconnection.
void CompactDatabaseCommand(RideLog& log, CommandScreen& screen);
// "Esporta uscite in CSV...": the whole log as a CSV file.
void ExportCsvCommand(RideLog& log, CommandScreen& screen);
// "Importa uscite da CSV...": the rides of a CSV file that the log does not hold yet.
void ImportCsvCommand(RideLog& log, CommandScreen& screen);
// "Importa uscite da file GPS...": the sessions of device files (FIT, GPX,
// TCX), read off the window's thread, judged as rides and shown for the
// rider to tick; the ticked ones stored together. Without `files` the rider
// chooses them.
void ImportGpsFilesCommand(RideLog& log, CommandScreen& screen, QStringList files = {});
// "Bici e componenti...": the window of the bikes and their parts, each
// change written at once.
void BikesCommand(RideLog& log, CommandScreen& screen);
// "Opzioni...": the options dialog.
void OptionsCommand(CommandScreen& screen);
// "Informazioni su...": the about box.
void AboutCommand(CommandScreen& screen);
// "Ripristina un backup...": the list of backups, then the restore and reconnection.
void RestoreBackupCommand(RideLog& log, CommandScreen& screen);
// A normal close: a checked backup, the log closed first, when the database
// changed and the options want one. A failure is told at the next start.
void BackupOnClose(RideLog& log, CommandScreen& screen);
// At start-up: why the last automatic backup failed, once the screen's window is shown.
void ReportBackupFailureWhenShown(CommandScreen& screen, const QString& databaseFile);
