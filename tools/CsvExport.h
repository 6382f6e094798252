#pragma once

#include <QString>
#include <QStringList>

class TZTConnection;

// The whole log as a CSV file: the header "Data,Tipo,KM,Durata,Descrizione"
// (with the format's separator), then one line per ride, CR LF line ends.
// A field holding a comma, a semicolon, a tab, a quote or a line break, or
// beginning or ending with a blank, is quoted, so that a spreadsheet reads
// the same fields whichever separators it has ticked.
namespace CsvExport {

enum class CsvFormat
{
    // What an Italian spreadsheet opens as it is: UTF-8 with a byte-order
    // mark, semicolons, dates dd/mm/yyyy, distances with a decimal comma
    // (quoted, since the comma separates fields too).
    Italian,
    // RFC 4180: UTF-8 without a byte-order mark, commas, dates yyyy-mm-dd,
    // distances with a decimal point.
    Standard,
};

// The header's column names, in the order the lines give them.
inline const QStringList Columns = {QStringLiteral("Data"), QStringLiteral("Tipo"), QStringLiteral("KM"),
                                    QStringLiteral("Durata"), QStringLiteral("Descrizione")};
// Last, only in the file of a log that has bikes: the ride's bike by name,
// empty for a ride without one. A log without bikes writes its files as before.
inline const QString BikeColumn = QStringLiteral("Bici");

// Writes every ride, by date and then in the order they were added, to a file
// beside `path` that takes its name only once it is complete and on the disk,
// and returns how many. A failure leaves whatever was at `path` before, and
// nothing else, and throws Exception: 'impossibile scrivere il file "...": '
// and the system's reason (in the rider's words first) when the file cannot
// be written; Why::Unwritable, "Uscita n. 17 del 30/02/2024: ..." when a ride
// holds a value the file cannot carry as it is stored (a day the calendar
// lacks, an endless distance: only another program stores one); the
// database's failure when the log cannot be read.
int ExportLog(TZTConnection& connection, const QString& path, CsvFormat format);

}
