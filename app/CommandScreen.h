#pragma once

#include "util/Settings.h"

#include <QDate>
#include <QString>

#include <array>
#include <optional>

class QWidget;

// What a command of the main window needs of the window around it: where its
// boxes and dialogs go, the status text, the options, and what to show again
// once the rides or the database changed. The main window is one; a test's
// screen is another, so that each command is tested without a main window.
class CommandScreen
{
public:
    virtual ~CommandScreen() = default;

    // The owner of the command's message boxes and dialogs.
    virtual QWidget* Window() = 0;
    // Painted at once: long operations process no events.
    virtual void SetStatusText(const QString& text) = 0;

    // New options take effect at once; they are written to the settings file at exit.
    virtual Options CurrentOptions() const = 0;
    virtual void ApplyOptions(const Options& options) = 0;

    // The rides changed: the month shown is read again.
    virtual void ShowMonthAgain() = 0;
    // Rides were added: the month `month` of `year` is shown, read again if it
    // was the one shown.
    virtual void ShowRidesOfMonth(int year, int month) = 0;
    // The current year's kilometres against the yearly goal, read again.
    virtual void ShowYearProgress() = 0;
    // The log was opened, at start-up or again after work on its file closed
    // it, or could not be (`failure`, the reason, which ends the program):
    // the calendar is refilled and the current month shown.
    virtual void LogOpened(const std::optional<QString>& failure) = 0;

    // The calendar's span: January of the first year to today.
    virtual int FirstCalendarYear() const = 0;
    virtual QDate Today() const = 0;
    // Major, minor, release and build of the executable's file version.
    virtual std::array<quint16, 4> Version() const = 0;
};
