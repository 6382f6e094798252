#pragma once

class TFormMain;

// Commands of the main window that live in their own units.

// "Importa dati da file DAT...": rides from a folder of monthly ".dat" files.
void ImportDatFilesCommand(TFormMain& form);
// "Compatta e ripristina database": compaction with a backup, then reconnection.
void CompactDatabaseCommand(TFormMain& form);
// "Opzioni...": the options dialog.
void OptionsCommand(TFormMain& form);
// "Informazioni su...": the about box.
void AboutCommand(TFormMain& form);
