#include "app/Commands.h"

#include "app/Unitmain.h"
#include "util/Application.h"
#include "data/TZTConnection.h"
#include "forms/MessageBoxes.h"
#include "forms/WaitCursor.h"
#include "tools/Compaction.h"
#include "tools/DatImport.h"
#include "util/Exception.h"

#include <QCoreApplication>
#include <QFileDialog>

#include <optional>

namespace {

const QString ChooseFolderText = QStringLiteral("Selezionare la cartella dove sono presenti i file DAT:");
const QString ImportQuestionText = QStringLiteral(
    "L'importazione dati può compromettere il database attuale e quindi il corretto funzionamento "
    "dell'applicazione. Proseguire?");
const QString ImportingText = QStringLiteral("Importazione in corso...");
const QString ImportDoneText = QStringLiteral("Importazione conclusa. Numero di file (mesi) importati: %1.");
const QString ImportFailedText = QStringLiteral("ERRORE nell'importazione dei dati.");

const QString CompactQuestionText = QStringLiteral(
    "Questa operazione compatta e verifica i dati presenti nel database. E' consigliato eseguirla "
    "periodicamente per ottimizzare le funzionalità del software. In caso di problemi, il database "
    "originario viene salvato con estensione .mdbbak e può quindi essere facilmente recuperato. Proseguire?");
const QString CompactingText = QStringLiteral("Compattazione in corso...");
const QString CompactDoneText = QStringLiteral("Compattazione eseguita con successo.");
const QString CompactFailedText = QStringLiteral("ATTENZIONE: Impossibile compattare il database.");

bool Confirmed(TFormMain& form, const QString& question, QMessageBox::StandardButton defaultButton)
{
    const bool yes = MessageBoxes::Show(&form, question, QMessageBox::Question,
                                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, defaultButton)
                     == QMessageBox::Yes;
    // The work that follows processes no events: let the window paint over
    // the closed box first (no input is taken meanwhile).
    if (yes)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return yes;
}

}

void ImportDatFilesCommand(TFormMain& form)
{
    const QString folder = QFileDialog::getExistingDirectory(&form, ChooseFolderText);
    if (folder.isEmpty() || !Confirmed(form, ImportQuestionText, QMessageBox::No))
        return;

    DatImportResult result;
    std::optional<QString> failure;
    {
        const WaitCursor wait;
        form.SetStatusText(ImportingText);
        try {
            result = DatImport::ImportFolder(*form.DatabaseConnection(), folder, [&form](const QString& fileName) {
                form.SetStatusText(ImportingText + u' ' + fileName);
            });
        } catch (const Exception& e) {
            failure = e.Message();
        }
    }
    // The rides appear when a month is next selected; the view is left as it is.
    if (failure) {
        MessageBoxes::Show(&form, MessageBoxes::WithException(ImportFailedText, *failure), QMessageBox::Warning);
    } else if (result.files > 0) {
        form.SetStatusText(ReadyStatusText);
        MessageBoxes::Show(&form, ImportDoneText.arg(result.files), QMessageBox::Information);
    }
    form.SetStatusText(ReadyStatusText);
}

void CompactDatabaseCommand(TFormMain& form)
{
    if (!Confirmed(form, CompactQuestionText, QMessageBox::Yes))
        return;

    bool compacted = false;
    std::optional<QString> failure;
    {
        const WaitCursor wait;
        form.SetStatusText(CompactingText);
        try {
            // The compaction closes the connection once it holds the database.
            TZTConnection* const connection = form.ReleaseDatabase();
            Compaction::CompactDatabase(form.DatabaseConnectionTemplate(), form.DatabaseFile(), connection);
            compacted = true;
        } catch (const Exception& e) {
            failure = e.Message();
        } catch (...) {
            // Not a failure the rider can act on (memory ran out, say): no
            // message, but the database is opened again all the same.
        }
    }
    if (compacted) {
        form.SetStatusText(ReadyStatusText);
        MessageBoxes::Show(&form, CompactDoneText, QMessageBox::Information);
    } else if (failure) {
        MessageBoxes::Show(&form, MessageBoxes::WithException(CompactFailedText, *failure), QMessageBox::Warning);
    }
    // Reconnected as at start-up only when the compaction got as far as
    // closing the connection: one it could not start leaves the month shown.
    form.ReopenDatabase();
    form.SetStatusText(ReadyStatusText);
}
