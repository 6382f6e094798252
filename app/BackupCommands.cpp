#include "app/Commands.h"

#include "app/CommandScreen.h"
#include "app/CommandSupport.h"
#include "data/RideLog.h"
#include "forms/MessageBoxes.h"
#include "forms/Unitripristino.h"
#include "forms/WaitCursor.h"
#include "tools/Backup.h"
#include "util/Application.h"
#include "util/Exception.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

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
    FailureNoteOnShow(QWidget* window, QString databaseFile)
        : QObject(window), m_window(window), m_databaseFile(std::move(databaseFile))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::Show) {
            m_window->removeEventFilter(this);
            // Queued, so the window is painted under the box.
            QMetaObject::invokeMethod(this, &FailureNoteOnShow::Report, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void Report()
    {
        const QString reason = Backup::TakeFailureNote(m_databaseFile);
        if (!reason.isEmpty())
            MessageBoxes::Show(m_window, MessageBoxes::WithException(BackupFailedText, reason), QMessageBox::Warning);
        deleteLater();
    }

    QWidget* m_window;
    QString m_databaseFile;
};

// The backup the rider chose; none when the list was closed, or could not be shown.
std::optional<QString> ChooseBackup(const RideLog& log, CommandScreen& screen)
{
    std::optional<QString> chosen;
    Quietly("backup list", [&] {
        std::vector<Backup::Entry> entries;
        {
            const WaitCursor wait;
            entries = Backup::List(log.ConnectionTemplate(), log.DatabaseFile());
        }
        TFormRipristino dialog(screen.Window(), Backup::Folder(log.DatabaseFile()), std::move(entries));
        if (dialog.exec() == QDialog::Accepted && dialog.Chosen())
            chosen = dialog.Chosen()->path;
    });
    return chosen;
}

}

void RestoreBackupCommand(RideLog& log, CommandScreen& screen)
{
    const std::optional<QString> chosen = ChooseBackup(log, screen);
    if (!chosen)
        return;
    // The work that follows processes no events: let the window paint over
    // the closed dialog first (no input is taken meanwhile).
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    std::optional<QString> failure;
    {
        const WaitCursor wait;
        screen.SetStatusText(RestoringText);
        try {
            // The restore closes the log's connection once it holds the database.
            log.WithDatabaseReleased([&](TZTConnection* inUse) {
                Backup::Restore(log.ConnectionTemplate(), log.DatabaseFile(), *chosen, QDateTime::currentDateTime(),
                                inUse);
            });
        } catch (const std::exception& e) {
            failure = ReasonOf(e);
        }
        // As at start-up, when the restore got as far as closing the connection.
        OpenAsAtStartup(log, screen);
    }
    if (failure) {
        MessageBoxes::Show(screen.Window(), MessageBoxes::WithException(RestoreFailedText, *failure),
                           QMessageBox::Warning);
    } else {
        screen.SetStatusText(ReadyStatusText);
        MessageBoxes::Show(screen.Window(), RestoreDoneText, QMessageBox::Information);
    }
    screen.SetStatusText(ReadyStatusText);
}

void BackupOnClose(RideLog& log, CommandScreen& screen)
{
    if (!screen.CurrentOptions().autoBackup || !log.IsOpen())
        return;
    // Closed first, so that a WAL log is folded into the file the test looks at.
    log.Close();
    if (!Backup::NeedsBackup(log.DatabaseFile()))
        return;
    const WaitCursor wait;
    screen.SetStatusText(BackingUpText);
    try {
        Backup::MakeBackup(log.ConnectionTemplate(), log.DatabaseFile());
    } catch (const std::exception& e) {
        Backup::WriteFailureNote(log.DatabaseFile(), ReasonOf(e));
    }
}

void ReportBackupFailureWhenShown(CommandScreen& screen, const QString& databaseFile)
{
    if (Backup::HasFailureNote(databaseFile))
        new FailureNoteOnShow(screen.Window(), databaseFile);
}
