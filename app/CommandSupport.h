#pragma once

#include <QMessageBox>
#include <QString>

class CommandScreen;
class RideLog;

// What the commands of the main window share.

// The imports' status text, the button that stops a long one, and what it then says.
inline const QString ImportingText = QStringLiteral("Importazione in corso...");
inline const QString CancelText = QStringLiteral("Annulla");
inline const QString ImportCancelledText = QStringLiteral("Importazione annullata: nessuna uscita importata.");

// Asks `question` with Yes, No and Cancel; true for Yes, after the window has
// painted over the closed box (the work that follows processes no events).
bool Confirmed(CommandScreen& screen, const QString& question, QMessageBox::StandardButton defaultButton);

// Opens a closed log and has the screen shown as at start-up; a log that is
// open, and the month shown with it, are left as they are.
void OpenAsAtStartup(RideLog& log, CommandScreen& screen);
