#pragma once

class TFormMain;

// Commands of the main window that live in their own units.

// "Importa dati da file DAT...": rides from a folder of monthly ".dat" files.
void ImportDatFilesCommand(TFormMain& form);
// "Compatta e ripristina database": compaction with a backup, then reconnection.
void CompactDatabaseCommand(TFormMain& form);
// "Esporta uscite in CSV...": the whole log as a CSV file.
void ExportCsvCommand(TFormMain& form);
// "Importa uscite da CSV...": the rides of a CSV file that the log does not hold yet.
void ImportCsvCommand(TFormMain& form);
// "Opzioni...": the options dialog.
void OptionsCommand(TFormMain& form);
// "Informazioni su...": the about box.
void AboutCommand(TFormMain& form);
// "Ripristina un backup...": the list of backups, then the restore and reconnection.
void RestoreBackupCommand(TFormMain& form);
// A normal close: a checked backup when the database changed and the options
// want one. It never keeps the window open; a failure is told at the next start.
void BackupOnClose(TFormMain& form);
// At start-up: why the last automatic backup failed, once the window is shown.
void ReportBackupFailureWhenShown(TFormMain& form);
