#pragma once

#include <QMessageBox>
#include <QString>

class CommandScreen;
class RideLog;

// What the commands of the main window share.

// Asks `question` with Yes, No and Cancel; true for Yes, after the window has
// painted over the closed box (the work that follows processes no events).
bool Confirmed(CommandScreen& screen, const QString& question, QMessageBox::StandardButton defaultButton);

// Opens a closed log and has the screen shown as at start-up; a log that is
// open, and the month shown with it, are left as they are.
void OpenAsAtStartup(RideLog& log, CommandScreen& screen);
