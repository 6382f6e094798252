#include "tools/DatImport.h"

#include "data/Rides.h"
#include "data/TZTConnection.h"
#include "data/Transaction.h"
#include "tools/DatFile.h"
#include "util/Windows1252.h"
#include "util/Exception.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <set>
#include <vector>

namespace {

// A fault of a file ends the run: 'File "042004.dat", riga 3: ' and why.
[[noreturn]] void FailAt(const QString& fileName, int line, const QString& reason)
{
    QString where = QStringLiteral("File \"%1\"").arg(fileName);
    if (line > 0)
        where += QStringLiteral(", riga %1").arg(line);
    throw Exception(where + QStringLiteral(": ") + reason);
}

struct MonthFile
{
    QString path;
    QString name;
    DatFile::Month month;
};

std::vector<MonthFile> MonthFilesIn(const QString& folder)
{
    // Case-insensitive like the older log's own search, so "032004.DAT" counts too.
    const QFileInfoList found =
        QDir(folder).entryInfoList({QStringLiteral("*.dat")}, QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    std::vector<MonthFile> files;
    for (const QFileInfo& info : found) {
        MonthFile file{info.filePath(), info.fileName(), {}};
        if (!DatFile::ParseName(file.name, file.month))
            FailAt(file.name, 0, QStringLiteral("il nome del file non inizia con il mese e l'anno (MMAAAA)"));
        files.push_back(std::move(file));
    }
    std::stable_sort(files.begin(), files.end(),
                     [](const MonthFile& a, const MonthFile& b) { return a.month < b.month; });
    return files;
}

std::set<int> RideTypeKeys(TZTConnection& connection)
{
    std::set<int> keys;
    for (const Rides::RideType& type : Rides::Types(connection))
        keys.insert(type.key);
    return keys;
}

QString ReadText(const MonthFile& file)
{
    QFile input(file.path);
    if (!input.open(QIODevice::ReadOnly))
        FailAt(file.name, 0, QStringLiteral("impossibile leggere il file: ") + input.errorString());
    const QByteArray bytes = input.readAll();
    if (input.error() != QFileDevice::NoError)
        FailAt(file.name, 0, QStringLiteral("impossibile leggere il file: ") + input.errorString());
    return DecodeWindows1252(bytes);
}

Rides::Ride AsRide(const DatFile::Ride& ride, int type)
{
    RideEntry entry;
    entry.tipo = type;
    entry.chilometri = ride.km;
    entry.testoDescrizione = ride.description;
    return Rides::Ride::OnDay(ride.date, std::move(entry));
}

}

namespace DatImport {

DatImportResult ImportFolder(TZTConnection& connection, const QString& folder,
                             const std::function<void(const QString& fileName)>& fileStarted)
{
    DatImportResult result;
    const std::vector<MonthFile> files = MonthFilesIn(folder);
    if (files.empty())
        return result;
    const std::set<int> types = RideTypeKeys(connection);

    Transaction transaction(connection);
    {
        // Closed before the commit, and before the rollback on failure.
        Rides::Appender rides(connection);
        for (const MonthFile& file : files) {
            if (fileStarted)
                fileStarted(file.name);
            const QStringList lines = DatFile::SplitLines(ReadText(file));
            for (int i = 0; i < lines.size(); ++i) {
                DatFile::Ride ride;
                if (const std::optional<QString> fault = DatFile::ParseLine(lines[i], file.month, ride))
                    FailAt(file.name, i + 1, *fault);
                const int type = ride.typeCode - 1;
                if (!types.contains(type))
                    FailAt(file.name, i + 1, QStringLiteral("il codice %1 non è un tipo di uscita").arg(ride.typeCode));
                constexpr int longest = RideColumn::DescriptionMaxLength;
                if (ride.description.size() > longest)
                    FailAt(file.name, i + 1, QStringLiteral("la descrizione supera i %1 caratteri").arg(longest));
                // The line's values all fit the table now, so a refusal
                // here is the database's (read-only, full disk), not the file's.
                rides.AppendOlderLogRide(AsRide(ride, type));
                ++result.rides;
            }
            ++result.files;
        }
    }
    transaction.Commit();
    return result;
}

}
