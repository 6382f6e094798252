#include "forms/PrintJob.h"

#include "forms/MessageBoxes.h"
#include "forms/WaitCursor.h"
#include "util/Application.h"
#include "util/Exception.h"

#include <QPrintDialog>
#include <QPrinter>

bool ChoosePrinterWithDialog(QPrinter& printer, QWidget* owner)
{
    QPrintDialog dialog(&printer, owner);
    return dialog.exec() == QDialog::Accepted;
}

void RunPrintJob(QWidget* owner, const PrintContext& context, const std::function<void(QPrinter&, const Options&)>& print)
{
    const auto setStatus = [&](const QString& text) {
        if (context.setStatusText)
            context.setStatusText(text);
    };
    QPrinter printer(QPrinter::HighResolution);
    const bool chosen = context.choosePrinter ? context.choosePrinter(printer, owner)
                                              : ChoosePrinterWithDialog(printer, owner);
    if (!chosen) {
        setStatus(ReadyStatusText);
        return;
    }
    QString failure;
    {
        const WaitCursor wait;
        setStatus(QStringLiteral("Stampa in corso..."));
        printer.setDocName(ApplicationTitle);
        try {
            print(printer, context.options ? context.options() : Options());
        } catch (const Exception& e) {
            failure = e.Message();
        }
        setStatus(ReadyStatusText);
    }
    if (failure.isNull())
        MessageBoxes::Show(owner, QStringLiteral("Stampa effettuata."), QMessageBox::Information);
    else
        MessageBoxes::Show(owner,
                           MessageBoxes::WithException(
                               QStringLiteral("ATTENZIONE: errore nell'invio dei dati alla stampante."), failure),
                           QMessageBox::Warning);
}
