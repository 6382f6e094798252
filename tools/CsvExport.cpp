#include "tools/CsvExport.h"

#include "data/Bikes.h"
#include "data/FieldValue.h"
#include "data/Rides.h"
#include "data/TZTConnection.h"
#include "tools/DurableFiles.h"
#include "util/Exception.h"
#include "util/SystemErrors.h"

#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSaveFile>
#include <QStringEncoder>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

namespace {

using CsvExport::CsvFormat;

// Written out whenever this much has gathered: few system calls, little memory.
constexpr qsizetype Chunk = 1 << 20;
// The longest duration written: hours past 23 are kept, but a count of
// seconds this large is no ride's.
constexpr double MaxDurationSeconds = 1e9;

[[noreturn]] void CannotWrite(const QString& path, const QString& why)
{
    throw Exception(QStringLiteral("impossibile scrivere il file \"%1\": %2").arg(path, why));
}

// The system's reason in the rider's words, its own text kept after them.
QString SystemReason(int error, const QString& technical)
{
    const QString words = SystemErrorWords(error);
    return words.isEmpty() ? technical : words + QStringLiteral(" (") + technical + u')';
}

bool NeedsQuotes(QStringView text)
{
    if (text.isEmpty())
        return false;
    if (text.front().isSpace() || text.back().isSpace())
        return true; // a spreadsheet would trim them
    // Every separator a spreadsheet may have ticked, whichever the file uses.
    for (const QChar c : text)
        if (c == u',' || c == u';' || c == u'\t' || c == u'"' || c == u'\r' || c == u'\n')
            return true;
    return false;
}

char* TwoDigits(char* at, int value)
{
    at[0] = char('0' + value / 10 % 10);
    at[1] = char('0' + value % 10);
    return at + 2;
}

// The text in UTF-8 at `at`, between quotes when it needs them, with its own
// quotes doubled; returns where it ends.
char* WriteField(char* at, QStringView text, QStringEncoder& utf8)
{
    if (!NeedsQuotes(text))
        return utf8.appendToBuffer(at, text);
    *at++ = '"';
    char* const first = at;
    char* end = utf8.appendToBuffer(first, text);
    const qsizetype quotes = std::count(first, end, '"');
    // Moved up from the end, each quote written twice.
    for (char *from = end, *to = end + quotes; from != first;) {
        *--to = *--from;
        if (*from == '"')
            *--to = '"';
    }
    end += quotes;
    *end++ = '"';
    return end;
}

// Whether the ride's date is the one stored: a date that does not convert
// reads as day zero, 30 December 1899.
bool IsStoredDate(const Rides::StoredRide& stored)
{
    const int year = stored.ride.anno;
    return year >= 1 && year <= 9999
           && (stored.zeroDate.isEmpty() || stored.zeroDate.startsWith(QLatin1StringView("1899-12-30")));
}

// "Uscita n. 17 del 01/03/2005: " and the reason; the date as stored when it is none.
[[noreturn]] void Unwritable(const Rides::StoredRide& stored, const QString& reason)
{
    const Rides::Ride& ride = stored.ride;
    const QString date = IsStoredDate(stored) ? QStringLiteral("%1/%2/%3")
                                                    .arg(ride.entry.giorno, 2, 10, QLatin1Char('0'))
                                                    .arg(ride.mese, 2, 10, QLatin1Char('0'))
                                                    .arg(ride.anno, 4, 10, QLatin1Char('0'))
                                              : u'"' + stored.zeroDate + u'"';
    throw Exception(QStringLiteral("Uscita n. %1 del %2: %3").arg(stored.key).arg(date, reason),
                    Exception::Why::Unwritable);
}

// A duration that does not convert reads as zero: a zero stored as such is
// a time or a number.
bool IsZeroDuration(const QString& text)
{
    if (text.isEmpty() || text == u"00:00:00")
        return true;
    const QByteArray bytes = text.toUtf8();
    TDateTime value;
    bool number = false;
    return FieldValue::ParseDateTimeText(bytes.constData(), bytes.size(), value)
           || (text.toDouble(&number) == 0.0 && number);
}

// The lines of the file, gathered in memory a chunk at a time. A value the
// file cannot carry as stored throws Why::Unwritable.
class LineWriter
{
public:
    // `bikes`: the bike of each ride that has one, for a log that has bikes.
    LineWriter(CsvFormat format, std::vector<QByteArray> typeNames, std::optional<QHash<int, QString>> bikes)
        : m_italian(format == CsvFormat::Italian), m_separator(m_italian ? ';' : ','),
          m_typeNames(std::move(typeNames)), m_bikes(std::move(bikes))
    {
        m_out.reserve(Chunk + 4096);
    }

    QByteArray& Buffer() { return m_out; }

    void Header()
    {
        if (m_italian)
            m_out += "\xEF\xBB\xBF"; // so that spreadsheets take the text for UTF-8
        QStringList columns = CsvExport::Columns;
        if (m_bikes)
            columns.append(CsvExport::BikeColumn);
        m_out += columns.join(QLatin1Char(m_separator)).toUtf8() + "\r\n";
    }

    void Line(const Rides::StoredRide& stored)
    {
        const Rides::Ride& ride = stored.ride;
        if (!IsStoredDate(stored))
            Unwritable(stored, QStringLiteral("la data non esiste"));
        const QString& description = ride.entry.testoDescrizione;
        const QByteArray& type = TypeName(ride.entry.tipo);
        const QString bike = m_bikes ? m_bikes->value(stored.key) : QString();
        // Room for the longest line this ride can make: every character of
        // the description and of the bike a quote, doubled.
        const qsizetype start = m_out.size();
        m_out.resize(start + 128 + type.size() + 2 * m_utf8.requiredSpace(description.size())
                     + 2 * m_utf8.requiredSpace(bike.size()));
        char* at = m_out.data() + start;

        if (m_italian) {
            at = TwoDigits(at, ride.entry.giorno);
            *at++ = '/';
            at = TwoDigits(at, ride.mese);
            *at++ = '/';
            at = TwoDigits(TwoDigits(at, ride.anno / 100), ride.anno % 100);
        } else {
            at = TwoDigits(TwoDigits(at, ride.anno / 100), ride.anno % 100);
            *at++ = '-';
            at = TwoDigits(at, ride.mese);
            *at++ = '-';
            at = TwoDigits(at, ride.entry.giorno);
        }
        *at++ = m_separator;
        at = std::copy(type.cbegin(), type.cend(), at);
        *at++ = m_separator;
        at = WriteDistance(at, stored);
        *at++ = m_separator;
        at = WriteDuration(at, stored);
        *at++ = m_separator;
        at = WriteField(at, description, m_utf8);
        if (m_bikes) {
            *at++ = m_separator;
            at = WriteField(at, bike, m_utf8);
        }
        *at++ = '\r';
        *at++ = '\n';
        m_out.truncate(at - m_out.constData());
    }

private:
    // A type without a name (only files older than the schema's foreign key
    // have one) goes out as its key, which the import reads back.
    const QByteArray& TypeName(int key)
    {
        if (key >= 0 && key < int(m_typeNames.size()) && !m_typeNames[key].isNull())
            return m_typeNames[key];
        return m_unnamed = QByteArray::number(key);
    }

    // The shortest digits that read back as the same number, never an
    // exponent; an Italian decimal comma between quotes.
    char* WriteDistance(char* at, const Rides::StoredRide& stored) const
    {
        const double km = stored.ride.entry.chilometri;
        char digits[40];
        const auto [end, error] = std::to_chars(digits, digits + sizeof digits, km + 0.0, std::chars_format::fixed);
        if (!std::isfinite(km) || error != std::errc())
            Unwritable(stored, QStringLiteral("distanza non esportabile: %1 km")
                                   .arg(QLocale().toString(km, 'g', QLocale::FloatingPointShortest)));
        char* const point = std::find(digits, end, '.');
        if (!m_italian || point == end)
            return std::copy(digits, end, at);
        *point = ',';
        *at++ = '"';
        at = std::copy(digits, end, at);
        *at++ = '"';
        return at;
    }

    // hh:mm:ss to the nearest second; nothing for no duration. Hours past 23,
    // which only another program stores, are written as they are.
    static char* WriteDuration(char* at, const Rides::StoredRide& stored)
    {
        const double days = stored.ride.entry.tempo.Val();
        const double seconds = std::round(days * TDateTime::SecsPerDay);
        if (days == 0.0 && !IsZeroDuration(stored.zeroDuration))
            Unwritable(stored, QStringLiteral("durata non valida: \"%1\"").arg(stored.zeroDuration));
        if (seconds == 0.0)
            return at;
        if (!(seconds > 0.0 && seconds < MaxDurationSeconds))
            Unwritable(stored, QStringLiteral("durata non esportabile: %1 giorni")
                                   .arg(QLocale().toString(days, 'g', QLocale::FloatingPointShortest)));
        const int total = int(seconds);
        at = total < 360000 ? TwoDigits(at, total / 3600) : std::to_chars(at, at + 16, total / 3600).ptr;
        *at++ = ':';
        at = TwoDigits(at, total / 60 % 60);
        *at++ = ':';
        return TwoDigits(at, total % 60);
    }

    bool m_italian;
    char m_separator;
    std::vector<QByteArray> m_typeNames; // by key, ready to write
    std::optional<QHash<int, QString>> m_bikes;
    QByteArray m_unnamed;
    QByteArray m_out;
    QStringEncoder m_utf8{QStringConverter::Utf8};
};

std::vector<QByteArray> TypeNames(TZTConnection& connection)
{
    std::vector<QByteArray> names;
    QStringEncoder utf8(QStringConverter::Utf8);
    for (const auto& [key, name] : Rides::Types(connection)) {
        if (key < 0 || key > 100000)
            continue; // no key the schema allows
        QByteArray field(2 * utf8.requiredSpace(name.size()) + 2, Qt::Uninitialized);
        field.truncate(WriteField(field.data(), name, utf8) - field.constData());
        names.resize(std::max(names.size(), size_t(key) + 1));
        names[key] = field;
    }
    return names;
}

bool SameFile(const QString& a, const QString& b)
{
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

void WriteOut(QSaveFile& file, QByteArray& buffer, const QString& path)
{
    // A short write (the disk filling up) is no error yet: the rest, tried
    // again, fails with the system's reason.
    for (qsizetype done = 0; done < buffer.size();) {
        errno = 0;
        const qint64 written = file.write(buffer.constData() + done, buffer.size() - done);
        if (written <= 0)
            CannotWrite(path, SystemReason(errno, file.errorString()));
        done += written;
    }
    buffer.resize(0); // keeps its room for the next chunk
}

}

namespace CsvExport {

int ExportLog(TZTConnection& connection, const QString& path, CsvFormat format)
{
    if (SameFile(path, connection.DataSource()))
        CannotWrite(path, QStringLiteral("è il database del diario"));
    int rides = 0;
    std::optional<QHash<int, QString>> bikes;
    if (!Bikes::Read(connection).bikes.isEmpty())
        bikes = Bikes::RideBikeNames(connection);
    LineWriter writer(format, TypeNames(connection), std::move(bikes));
    // The file gets its name on Commit, once it is written and flushed;
    // unbuffered, so that each write's failure is the system's own.
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        CannotWrite(path, SystemReason(errno, file.errorString()));
    writer.Header();
    Rides::ForEachStored(connection, [&](const Rides::StoredRide& stored) {
        writer.Line(stored);
        ++rides;
        if (writer.Buffer().size() >= Chunk)
            WriteOut(file, writer.Buffer(), path);
    });
    WriteOut(file, writer.Buffer(), path);
    errno = 0;
    if (!file.commit())
        CannotWrite(path, SystemReason(errno, file.errorString()));
    // The new name must outlast a power cut too; the file itself is whole
    // already, so a folder that cannot be flushed is no reason to fail.
    DurableFiles::SyncFolder(QFileInfo(path).absolutePath());
    return rides;
}

}
