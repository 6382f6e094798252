#include "app/Commands.h"

#include "app/CommandScreen.h"
#include "app/CommandSupport.h"
#include "data/RideLog.h"
#include "forms/MessageBoxes.h"
#include "forms/WaitCursor.h"
#include "tools/Compaction.h"
#include "tools/DatImport.h"
#include "util/Application.h"
#include "util/Exception.h"

#include <QFileDialog>

#include <optional>

namespace {

const QString ChooseFolderText = QStringLiteral("Selezionare la cartella dove sono presenti i file DAT:");
const QString ImportQuestionText = QStringLiteral(
    "L'importazione dati può compromettere il database attuale e quindi il corretto funzionamento "
    "dell'applicazione. Proseguire?");
const QString ImportDoneText = QStringLiteral("Importazione conclusa. Numero di file (mesi) importati: %1.");
const QString ImportFailedText = QStringLiteral("ERRORE nell'importazione dei dati.");

const QString CompactQuestionText = QStringLiteral(
    "Questa operazione compatta e verifica i dati presenti nel database. E' consigliato eseguirla "
    "periodicamente per ottimizzare le funzionalità del software. In caso di problemi, il database "
    "originario viene salvato con estensione .mdbbak e può quindi essere facilmente recuperato. Proseguire?");
const QString CompactingText = QStringLiteral("Compattazione in corso...");
const QString CompactDoneText = QStringLiteral("Compattazione eseguita con successo.");
const QString CompactFailedText = QStringLiteral("ATTENZIONE: Impossibile compattare il database.");

}

void ImportDatFilesCommand(RideLog& log, CommandScreen& screen)
{
    const QString folder = QFileDialog::getExistingDirectory(screen.Window(), ChooseFolderText);
    if (folder.isEmpty() || !Confirmed(screen, ImportQuestionText, QMessageBox::No))
        return;

    // The rides appear when a month is next selected; the view is left as it is.
    try {
        int files = 0;
        {
            const WaitCursor wait;
            screen.SetStatusText(ImportingText);
            files = DatImport::ImportFolder(log.Connection(), folder, [&screen](const QString& fileName) {
                        screen.SetStatusText(ImportingText + u' ' + fileName);
                    }).files;
        }
        if (files > 0) {
            screen.SetStatusText(ReadyStatusText);
            MessageBoxes::Show(screen.Window(), ImportDoneText.arg(files), QMessageBox::Information);
        }
    } catch (const std::exception& e) {
        MessageBoxes::Show(screen.Window(), MessageBoxes::WithException(ImportFailedText, ReasonOf(e)),
                           QMessageBox::Warning);
    }
    screen.SetStatusText(ReadyStatusText);
    screen.ShowYearProgress();
}

void CompactDatabaseCommand(RideLog& log, CommandScreen& screen)
{
    if (!Confirmed(screen, CompactQuestionText, QMessageBox::Yes))
        return;

    try {
        {
            const WaitCursor wait;
            screen.SetStatusText(CompactingText);
            // The compaction closes the log's connection once it holds the database.
            log.WithDatabaseReleased([&log](TZTConnection* inUse) {
                Compaction::CompactDatabase(log.ConnectionTemplate(), log.DatabaseFile(), inUse);
            });
        }
        screen.SetStatusText(ReadyStatusText);
        MessageBoxes::Show(screen.Window(), CompactDoneText, QMessageBox::Information);
    } catch (const std::exception& e) {
        MessageBoxes::Show(screen.Window(), MessageBoxes::WithException(CompactFailedText, ReasonOf(e)),
                           QMessageBox::Warning);
    }
    // Reconnected as at start-up only when the compaction got as far as
    // closing the connection: one it could not start leaves the month shown.
    OpenAsAtStartup(log, screen);
    screen.SetStatusText(ReadyStatusText);
}
