#pragma once

#include "util/Settings.h"

#include <QString>

#include <functional>

class QPrinter;
class QWidget;

// What a printout needs from the main window: the rider's print options, the
// status text, and the choice of the printer (the print dialog).
struct PrintContext
{
    std::function<Options()> options;
    std::function<void(const QString&)> setStatusText;
    // Returns false when the user cancels; the standard print dialog when empty.
    std::function<bool(QPrinter&, QWidget*)> choosePrinter;
};

// Runs one printout as both reports do: the print dialog, "Stampa in corso..."
// with the hourglass, the job titled with the application title, then
// "Stampa effettuata." or the failure message, and "Pronto." in every case.
void RunPrintJob(QWidget* owner, const PrintContext& context, const std::function<void(QPrinter&, const Options&)>& print);

// The standard print dialog.
bool ChoosePrinterWithDialog(QPrinter& printer, QWidget* owner);
