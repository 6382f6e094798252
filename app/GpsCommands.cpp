#include "app/Commands.h"

#include "app/CommandScreen.h"
#include "app/CommandSupport.h"
#include "data/RideLog.h"
#include "forms/GpsImportDialog.h"
#include "forms/GpsCandidatesModel.h"
#include "forms/MessageBoxes.h"
#include "forms/WaitCursor.h"
#include "gps/DeviceFile.h"
#include "gps/GpsImport.h"
#include "util/Application.h"
#include "util/Exception.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTimeZone>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <optional>

namespace {

const QString Title = QStringLiteral("Importa uscite da file GPS");
const QStringList Filters = {QStringLiteral("File GPS (*.fit *.gpx *.tcx *.fit.gz *.gpx.gz *.tcx.gz)"),
                             QStringLiteral("Tutti i file (*)")};
const QString ReadingText = QStringLiteral("Lettura dei file GPS...");
const QString ReadingLabel = QStringLiteral("Lettura dei file GPS: %1 di %2...");
const QString NothingToImportText = QStringLiteral("ATTENZIONE: i file GPS non contengono uscite da importare.");
const QString ImportFailedText = QStringLiteral("ERRORE nell'importazione dai file GPS.");

// So many files show their progress at once; fewer only once the reading
// turns out to be long.
constexpr int ManyFiles = 50;
constexpr int LongReadingMs = 500;
// The files named in a box about them; the preview lists them all.
constexpr int FilesNamed = 10;

QString ImportDone(qsizetype rides)
{
    return QStringLiteral("Importazione conclusa: %1 %2.")
        .arg(QLocale().toString(qlonglong(rides)),
             rides == 1 ? QStringLiteral("uscita importata") : QStringLiteral("uscite importate"));
}

QStringList ChooseFiles(QWidget* owner)
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QFileDialog dialog(owner, Title, QDir(documents).exists() ? documents : QDir::homePath());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(Filters);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

// The files read on a thread of their own, in their order, while the window
// paints; the progress dialog's "Annulla" stops the reading between two
// files. Nothing when the rider cancelled.
std::optional<std::vector<DeviceFile>> ReadFiles(QWidget* owner, const QStringList& paths)
{
    struct Reading
    {
        std::atomic<int> done{0};
        std::atomic<bool> cancelled{false};
        std::vector<DeviceFile> files;
    };
    auto reading = std::make_shared<Reading>();
    reading->files.resize(size_t(paths.size()));
    std::future<void> work = std::async(std::launch::async, [reading, paths] {
        for (qsizetype i = 0; i < paths.size() && !reading->cancelled; ++i) {
            DeviceFile& file = reading->files[size_t(i)];
            try {
                file = DeviceFiles::Read(paths[i]);
            } catch (const std::exception& e) {
                // One file's failure never stops the others.
                file = DeviceFile{paths[i], {}, QStringLiteral("impossibile leggere il file: ") + ReasonOf(e)};
            }
            file.path = paths[i];
            ++reading->done;
        }
    });

    const int total = int(paths.size());
    QProgressDialog progress(ReadingLabel.arg(0).arg(total), CancelText, 0, total, owner);
    progress.setWindowTitle(ApplicationTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setMinimumDuration(total >= ManyFiles ? 0 : LongReadingMs);
    progress.setValue(0);
    using namespace std::chrono_literals;
    while (work.wait_for(20ms) != std::future_status::ready) {
        const int done = reading->done;
        progress.setLabelText(ReadingLabel.arg(std::min(done + 1, total)).arg(total));
        progress.setValue(done);
        // Once the dialog is up, its modality keeps the window's input away
        // and its "Annulla" is heard; until then the window paints but takes
        // no input. (A value that did not change processes nothing itself.)
        QCoreApplication::processEvents(progress.isVisible() ? QEventLoop::AllEvents
                                                             : QEventLoop::ExcludeUserInputEvents);
        if (progress.wasCanceled())
            reading->cancelled = true;
    }
    work.get();
    if (reading->cancelled || progress.wasCanceled())
        return std::nullopt;
    return std::move(reading->files);
}

// What the rider is told when no file holds a ride the log could take.
QString NothingToImport(const std::vector<GpsImport::Candidate>& candidates)
{
    QStringList lines;
    for (const GpsImport::Candidate& candidate : candidates) {
        if (lines.size() == FilesNamed) {
            lines.append(QStringLiteral("..."));
            break;
        }
        lines.append(QFileInfo(candidate.file).fileName() + QStringLiteral(": ")
                     + GpsCandidatesModel::StateText(candidate));
    }
    return NothingToImportText + QStringLiteral("\r\n\r\n") + lines.join(QStringLiteral("\r\n"));
}

}

void ImportGpsFilesCommand(RideLog& log, CommandScreen& screen, QStringList files)
{
    QWidget* const owner = screen.Window();
    if (files.isEmpty())
        files = ChooseFiles(owner);
    if (files.isEmpty())
        return;
    // The work that follows paints the window only.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    try {
        std::optional<std::vector<DeviceFile>> read;
        {
            const WaitCursor wait;
            screen.SetStatusText(ReadingText);
            read = ReadFiles(owner, files);
        }
        screen.SetStatusText(ReadyStatusText);
        if (!read) {
            MessageBoxes::Show(owner, ImportCancelledText, QMessageBox::Information);
            return;
        }

        const auto [first, last] = GpsImport::DaysSpanned(*read);
        const GpsImport::KnownRides known = log.KnownRides(first, last);
        const QList<Rides::RideType> types = log.Types();
        std::vector<GpsImport::Candidate> candidates =
            GpsImport::Plan(*read, types, known, screen.Today(), QTimeZone::systemTimeZone());
        if (std::none_of(candidates.cbegin(), candidates.cend(),
                         [](const GpsImport::Candidate& candidate) { return candidate.Tickable(); })) {
            MessageBoxes::Show(owner, NothingToImport(candidates), QMessageBox::Warning);
            return;
        }

        GpsImportDialog dialog(owner, std::move(candidates), known, types);
        if (dialog.exec() != QDialog::Accepted)
            return;
        const std::vector<GpsImport::Candidate> ticked = dialog.Ticked();
        if (ticked.empty())
            return;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

        QDate newest;
        {
            const WaitCursor wait;
            screen.SetStatusText(ImportingText);
            newest = log.AddImported(ticked);
        }
        screen.ShowRidesOfMonth(newest.year(), newest.month());
        screen.ShowYearProgress();
        screen.SetStatusText(ReadyStatusText);
        MessageBoxes::Show(owner, ImportDone(qsizetype(ticked.size())), QMessageBox::Information);
    } catch (const std::exception& e) {
        MessageBoxes::Show(owner, MessageBoxes::WithException(ImportFailedText, ReasonOf(e)), QMessageBox::Warning);
    }
    screen.SetStatusText(ReadyStatusText);
}
