#include "app/Commands.h"

#include "app/Unitmain.h"
#include "data/TZTConnection.h"
#include "forms/MessageBoxes.h"
#include "forms/Unitripristino.h"
#include "forms/WaitCursor.h"
#include "tools/Backup.h"
#include "util/Application.h"
#include "util/Exception.h"

#include <QCoreApplication>
#include <QEvent>

#include <optional>

namespace {

const QString BackingUpText = QStringLiteral("Backup in corso...");
const QString BackupFailedText = QStringLiteral("ATTENZIONE: impossibile creare il backup automatico.");
const QString RestoringText = QStringLiteral("Ripristino in corso...");
const QString RestoreDoneText = QStringLiteral("Ripristino eseguito con successo.");
const QString RestoreFailedText = QStringLiteral("ATTENZIONE: impossibile ripristinare il backup.");

// Shows the note of a failed backup after the window's first show, so that
// it appears over the window and not over the splash screen.
class FailureNoteOnShow : public QObject
{
public:
    explicit FailureNoteOnShow(TFormMain& form) : QObject(&form), m_form(form) { form.installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &m_form && event->type() == QEvent::Show) {
            m_form.removeEventFilter(this);
            // Queued, so the window is painted under the box.
            QMetaObject::invokeMethod(this, &FailureNoteOnShow::Report, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void Report()
    {
        const QString reason = Backup::TakeFailureNote(m_form.DatabaseFile());
        if (!reason.isEmpty())
            MessageBoxes::Show(&m_form, MessageBoxes::WithException(BackupFailedText, reason), QMessageBox::Warning);
        deleteLater();
    }

    TFormMain& m_form;
};

std::optional<QString> ChooseBackup(TFormMain& form)
{
    std::vector<Backup::Entry> entries;
    {
        const WaitCursor wait;
        entries = Backup::List(form.DatabaseConnectionTemplate(), form.DatabaseFile());
    }
    TFormRipristino dialog(&form, Backup::Folder(form.DatabaseFile()), std::move(entries));
    if (dialog.exec() != QDialog::Accepted || !dialog.Chosen())
        return std::nullopt;
    return dialog.Chosen()->path;
}

}

void RestoreBackupCommand(TFormMain& form)
{
    std::optional<QString> chosen;
    try {
        chosen = ChooseBackup(form);
    } catch (const std::exception&) {
        // A dialog that cannot open simply does not appear.
    }
    if (!chosen)
        return;
    // The work that follows processes no events: let the window paint over
    // the closed dialog first (no input is taken meanwhile).
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    std::optional<QString> failure;
    {
        const WaitCursor wait;
        form.SetStatusText(RestoringText);
        try {
            // The restore closes the connection once it holds the database.
            TZTConnection* const connection = form.ReleaseDatabase();
            Backup::Restore(form.DatabaseConnectionTemplate(), form.DatabaseFile(), *chosen,
                            QDateTime::currentDateTime(), connection);
        } catch (const Exception& e) {
            // The database is opened again all the same, and the rider told why nothing was restored.
            failure = e.Message();
        } catch (const std::exception& e) {
            failure = QString::fromLocal8Bit(e.what());
        }
        // As at start-up, when the restore got as far as closing the connection.
        form.ReopenDatabase();
    }
    if (!failure) {
        form.SetStatusText(ReadyStatusText);
        MessageBoxes::Show(&form, RestoreDoneText, QMessageBox::Information);
    } else {
        MessageBoxes::Show(&form, MessageBoxes::WithException(RestoreFailedText, *failure), QMessageBox::Warning);
    }
    form.SetStatusText(ReadyStatusText);
}

void BackupOnClose(TFormMain& form)
{
    const TZTConnection* const connection = form.DatabaseConnection();
    if (!form.CurrentOptions().autoBackup || !connection || !connection->IsOpen())
        return;
    const QString database = form.DatabaseFile();
    // Closed first, so that a WAL log is folded into the file the test looks at.
    form.CloseDatabase();
    if (!Backup::NeedsBackup(database))
        return;
    const WaitCursor wait;
    form.SetStatusText(BackingUpText);
    try {
        Backup::MakeBackup(form.DatabaseConnectionTemplate(), database);
    } catch (const Exception& e) {
        Backup::WriteFailureNote(database, e.Message());
    } catch (const std::exception& e) {
        Backup::WriteFailureNote(database, QString::fromLocal8Bit(e.what()));
    }
}

void ReportBackupFailureWhenShown(TFormMain& form)
{
    if (Backup::HasFailureNote(form.DatabaseFile()))
        new FailureNoteOnShow(form);
}
