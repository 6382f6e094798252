#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class TZTConnection;

// The whole log as a CSV file (RFC 4180), the form spreadsheets read: UTF-8
// without a byte-order mark, commas, CR LF line ends, the header
// "Data,Tipo,KM,Durata,Descrizione", then one line per ride.
namespace CsvExport {

// The header's column names, in the order the lines give them.
inline const QStringList Columns = {QStringLiteral("Data"), QStringLiteral("Tipo"), QStringLiteral("KM"),
                                    QStringLiteral("Durata"), QStringLiteral("Descrizione")};

struct Result
{
    int rides = 0;
    std::optional<QString> failure; // why nothing was written, in the rider's words
};

// Writes every ride, by date and then in the order they were added, to a file
// beside `path` that takes its name only once it is complete and on the disk:
// a failure leaves whatever was at `path` before, and nothing else.
Result ExportLog(TZTConnection& connection, const QString& path);

}
