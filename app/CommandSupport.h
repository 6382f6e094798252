#pragma once

#include <QMessageBox>
#include <QString>

#include <exception>
#include <functional>

class CommandScreen;
class RideLog;

// What the commands of the main window share.

// Asks `question` with Yes, No and Cancel; true for Yes, after the window has
// painted over the closed box (the work that follows processes no events).
bool Confirmed(CommandScreen& screen, const QString& question, QMessageBox::StandardButton defaultButton);

// What the rider reads after "Eccezione: " for a failure.
QString ReasonOf(const std::exception& failure);

// Runs work whose failure the rider is not told of: a dialog that cannot open
// does not appear, a figure that cannot be read is not shown, options that
// cannot be written at exit stay as they were. The reason goes to stderr,
// after `what`. Returns whether the work ran to its end.
bool Quietly(const char* what, const std::function<void()>& work);

// Opens a closed log and has the screen shown as at start-up; a log that is
// open, and the month shown with it, are left as they are.
void OpenAsAtStartup(RideLog& log, CommandScreen& screen);
