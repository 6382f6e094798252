#include "app/Commands.h"

#include "app/CommandScreen.h"
#include "app/CommandSupport.h"
#include "data/RideLog.h"
#include "forms/MessageBoxes.h"
#include "forms/WaitCursor.h"
#include "tools/CsvExport.h"
#include "tools/CsvImport.h"
#include "util/Application.h"
#include "util/Exception.h"
#include "util/Formats.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QProgressDialog>
#include <QStandardPaths>

#include <memory>
#include <optional>

namespace {

const QString ExportTitle = QStringLiteral("Esporta uscite in CSV");
const QString ImportTitle = QStringLiteral("Importa uscite da CSV");
const QString ProposedName = QStringLiteral("kilovento-uscite.csv");
const QStringList ImportFilters = {QStringLiteral("File CSV (*.csv)"), QStringLiteral("Tutti i file (*)")};
// The save dialog's file types are the formats; the first is proposed.
struct ExportFilter
{
    QString name;
    CsvExport::CsvFormat format;
};
const QList<ExportFilter> ExportFilters = {
    {QStringLiteral("CSV per fogli di calcolo italiani (*.csv)"), CsvExport::CsvFormat::Italian},
    {QStringLiteral("CSV standard (RFC 4180) (*.csv)"), CsvExport::CsvFormat::Standard},
};

const QString ExportingText = QStringLiteral("Esportazione in corso...");
const QString ExportFailedText = QStringLiteral("ERRORE nell'esportazione delle uscite.");
const QString UnwritableRideText = QStringLiteral("ATTENZIONE: le uscite non possono essere esportate.");
const QString BadFileText = QStringLiteral("ATTENZIONE: il file CSV non può essere importato.");
const QString ImportFailedText = QStringLiteral("ERRORE nell'importazione dal file CSV.");
const QString ReadingLabel = QStringLiteral("Lettura del file CSV...");
const QString StoringLabel = QStringLiteral("Importazione delle uscite...");

// Files of fewer lines are read and stored before a progress bar could be seen.
constexpr qint64 ProgressLines = 5000;


// "1 uscita esportata", "3 uscite esportate".
QString Count(qsizetype n, const QString& one, const QString& many)
{
    return Formats::Grouped(n) + u' ' + (n == 1 ? one : many);
}

QString ExportDone(int rides)
{
    return QStringLiteral("Esportazione conclusa: %1.")
        .arg(Count(rides, QStringLiteral("uscita esportata"), QStringLiteral("uscite esportate")));
}

QString ImportDone(qsizetype rides)
{
    return QStringLiteral("Importazione conclusa: %1.")
        .arg(Count(rides, QStringLiteral("uscita importata"), QStringLiteral("uscite importate")));
}

QString ImportQuestion(qsizetype fresh, qsizetype present)
{
    return QStringLiteral("Il file contiene %1 e %2 nel diario. Importare %3?")
        .arg(Count(fresh, QStringLiteral("uscita nuova"), QStringLiteral("uscite nuove")),
             Count(present, QStringLiteral("già presente"), QStringLiteral("già presenti")),
             fresh == 1 ? QStringLiteral("l'uscita nuova") : QStringLiteral("le %1 uscite nuove").arg(Formats::Grouped(fresh)));
}

// The question's line naming the bikes the import makes; nothing without them.
QString NewBikesLine(const QStringList& names)
{
    return names.isEmpty() ? QString() : QStringLiteral("\r\n\r\nBici nuove: ") + names.join(QStringLiteral(", "));
}

QString NothingNew(qsizetype present)
{
    if (present == 0)
        return QStringLiteral("Il file non contiene uscite.");
    return present == 1 ? QStringLiteral("L'uscita del file è già presente nel diario: nessuna uscita importata.")
                        : QStringLiteral("Le %1 uscite del file sono già presenti nel diario: nessuna uscita importata.")
                              .arg(Formats::Grouped(present));
}

struct ChosenFile
{
    QString path; // empty when the rider cancelled
    QString filter;
};

// The documents folder, or the home without one, proposes where a file goes or comes from.
ChosenFile ChooseFile(QWidget* owner, QFileDialog::AcceptMode mode)
{
    const bool saving = mode == QFileDialog::AcceptSave;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QFileDialog dialog(owner, saving ? ExportTitle : ImportTitle,
                       QDir(documents).exists() ? documents : QDir::homePath());
    dialog.setAcceptMode(mode);
    if (saving) {
        QStringList filters;
        for (const ExportFilter& filter : ExportFilters)
            filters.append(filter.name);
        dialog.setNameFilters(filters);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("csv"));
        dialog.selectFile(ProposedName);
    } else {
        dialog.setNameFilters(ImportFilters);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    // The work that follows processes no events: the window repaints where the dialog was.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return {dialog.selectedFiles().first(), dialog.selectedNameFilter()};
}

CsvExport::CsvFormat FormatOf(const QString& filter)
{
    for (const ExportFilter& candidate : ExportFilters)
        if (candidate.name == filter)
            return candidate.format;
    return ExportFilters.first().format;
}

// Asks which part of the file's dates is the day, naming one date read both
// ways ("1 febbraio 1990"); nothing when the rider cancels.
std::optional<CsvImport::DayOrder> AskDayOrder(QWidget* owner, const CsvImport::ReadResult& read)
{
    const QString format = QStringLiteral("d MMMM yyyy");
    const QString dayFirst = QLocale().toString(read.ambiguousDayFirst, format);
    const QString monthFirst = QLocale().toString(read.ambiguousMonthFirst, format);
    // "l'8 marzo", "il 2 marzo": the article as the day's number is spoken.
    const auto withArticle = [](const QDate& date, const QString& text) {
        const int day = date.day();
        return (day == 1 || day == 8 || day == 11 ? QStringLiteral("l'") : QStringLiteral("il ")) + text;
    };
    QMessageBox box(QMessageBox::Question, ApplicationTitle,
                    QStringLiteral("Nel file la data %1 è %2 o %3?\r\n\r\n"
                                   "Tutte le date del file saranno lette allo stesso modo.")
                        .arg(read.ambiguousDate, withArticle(read.ambiguousDayFirst, dayFirst),
                             withArticle(read.ambiguousMonthFirst, monthFirst)),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, owner);
    box.setTextFormat(Qt::PlainText);
    // Neither reading is the wrong one: no yes or no icon on either.
    for (const auto& [button, text] : {std::pair(QMessageBox::Yes, dayFirst), std::pair(QMessageBox::No, monthFirst)}) {
        box.button(button)->setText(text);
        box.button(button)->setIcon(QIcon());
    }
    box.button(QMessageBox::Cancel)->setText(CancelText);
    box.setDefaultButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return CsvImport::DayOrder::DayFirst;
    case QMessageBox::No:
        return CsvImport::DayOrder::MonthFirst;
    default:
        return std::nullopt;
    }
}

// A progress dialog for a long step, shown once the step turns out to be
// long; it goes when the step ends. Its "Annulla" stops the step.
class StepProgress
{
public:
    StepProgress(QWidget* owner, QString label) : m_owner(owner), m_label(std::move(label)) {}

    CsvImport::Progress Callback()
    {
        return [this](qint64 done, qint64 total) { return Report(done, total); };
    }

private:
    bool Report(qint64 done, qint64 total)
    {
        if (!m_dialog) {
            if (total <= ProgressLines)
                return true;
            m_dialog = std::make_unique<QProgressDialog>(m_label, CancelText, 0, int(total), m_owner);
            m_dialog->setWindowTitle(ApplicationTitle);
            m_dialog->setWindowModality(Qt::WindowModal);
            m_dialog->setAutoReset(false);
            m_dialog->setAutoClose(false);
            m_dialog->setMinimumDuration(0);
            m_dialog->show();
        }
        // A modal progress dialog handles its events here: "Annulla" among them.
        m_dialog->setValue(int(std::min(done, total)));
        return !m_dialog->wasCanceled();
    }

    QWidget* m_owner;
    QString m_label;
    std::unique_ptr<QProgressDialog> m_dialog;
};

struct ImportPlan
{
    CsvImport::Sorted sorted;
    bool cancelled = false;
    CsvImport::ReadResult untold; // with the date whose day order is the rider's to say
    std::optional<QString> badFile;  // the file's first bad row
    QStringList newBikes;            // the fresh rides' bikes the log has not
};

ImportPlan ReadAndSortOut(RideLog& log, CommandScreen& screen, const QString& path, CsvImport::DayOrder order)
{
    ImportPlan plan;
    const WaitCursor wait;
    screen.SetStatusText(ImportingText);
    StepProgress progress(screen.Window(), ReadingLabel);
    const CsvImport::Log fits{log.Types(), QDate(screen.FirstCalendarYear(), 1, 1),
                              screen.Today(), order};
    const CsvImport::ReadResult read = CsvImport::ReadFile(path, fits, progress.Callback());
    if (read.fault)
        plan.badFile = read.fault->Message();
    else if (read.cancelled)
        plan.cancelled = true;
    else if (!read.ambiguousDate.isEmpty())
        plan.untold = read;
    else {
        plan.sorted = CsvImport::SortOut(log.Connection(), read.rides, read.bikes);
        plan.newBikes = CsvImport::NewBikes(log.Connection(), plan.sorted.freshBikes);
    }
    return plan;
}

}

void ExportCsvCommand(RideLog& log, CommandScreen& screen)
{
    const ChosenFile chosen = ChooseFile(screen.Window(), QFileDialog::AcceptSave);
    if (chosen.path.isEmpty())
        return;

    try {
        int rides = 0;
        {
            const WaitCursor wait;
            screen.SetStatusText(ExportingText);
            rides = CsvExport::ExportLog(log.Connection(), chosen.path, FormatOf(chosen.filter));
        }
        screen.SetStatusText(ReadyStatusText);
        MessageBoxes::Show(screen.Window(), ExportDone(rides), QMessageBox::Information);
    } catch (const Exception& e) {
        // A ride the file cannot carry is the log's own fault, not the program's.
        if (e.Reason() == Exception::Why::Unwritable)
            MessageBoxes::Show(screen.Window(), UnwritableRideText + QStringLiteral("\r\n\r\n") + e.Message(),
                               QMessageBox::Warning);
        else
            MessageBoxes::Show(screen.Window(), MessageBoxes::WithException(ExportFailedText, e.Message()),
                               QMessageBox::Warning);
    } catch (const std::exception& e) {
        MessageBoxes::Show(screen.Window(), MessageBoxes::WithException(ExportFailedText, ReasonOf(e)),
                           QMessageBox::Warning);
    }
    screen.SetStatusText(ReadyStatusText);
}

void ImportCsvCommand(RideLog& log, CommandScreen& screen)
{
    QWidget* const owner = screen.Window();
    const QString path = ChooseFile(owner, QFileDialog::AcceptOpen).path;
    if (path.isEmpty())
        return;

    try {
        ImportPlan plan = ReadAndSortOut(log, screen, path, CsvImport::DayOrder::FromFile);
        if (!plan.untold.ambiguousDate.isEmpty()) {
            screen.SetStatusText(ReadyStatusText);
            const std::optional<CsvImport::DayOrder> order = AskDayOrder(owner, plan.untold);
            if (!order)
                return;
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            plan = ReadAndSortOut(log, screen, path, *order);
        }
        const QList<Rides::Ride>& fresh = plan.sorted.fresh;
        if (plan.badFile) {
            MessageBoxes::Show(owner, BadFileText + QStringLiteral("\r\n\r\n") + *plan.badFile,
                               QMessageBox::Warning);
            screen.SetStatusText(ReadyStatusText);
            return;
        }
        // Nothing runs while the rider reads the outcome or the question.
        screen.SetStatusText(ReadyStatusText);
        if (plan.cancelled) {
            MessageBoxes::Show(owner, ImportCancelledText, QMessageBox::Information);
            return;
        }
        if (fresh.isEmpty()) {
            MessageBoxes::Show(owner, NothingNew(plan.sorted.present), QMessageBox::Information);
            return;
        }
        if (MessageBoxes::Show(owner, ImportQuestion(fresh.size(), plan.sorted.present) + NewBikesLine(plan.newBikes),
                               QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            != QMessageBox::Yes)
            return;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

        CsvImport::StoreResult stored;
        {
            const WaitCursor wait;
            screen.SetStatusText(ImportingText);
            StepProgress progress(owner, StoringLabel);
            stored = CsvImport::Store(log.Connection(), fresh, progress.Callback(), plan.sorted.freshBikes);
        }
        if (stored.cancelled) {
            screen.SetStatusText(ReadyStatusText);
            MessageBoxes::Show(owner, ImportCancelledText, QMessageBox::Information);
        } else {
            screen.ShowMonthAgain();
            screen.ShowYearProgress();
            screen.SetStatusText(ReadyStatusText);
            MessageBoxes::Show(owner, ImportDone(stored.stored), QMessageBox::Information);
        }
    } catch (const std::exception& e) {
        MessageBoxes::Show(owner, MessageBoxes::WithException(ImportFailedText, ReasonOf(e)), QMessageBox::Warning);
    }
    screen.SetStatusText(ReadyStatusText);
}
