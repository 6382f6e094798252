#include "tools/CsvExport.h"

#include "data/Rides.h"
#include "data/TZTConnection.h"
#include "tools/DurableFiles.h"
#include "util/Exception.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QStringEncoder>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace {

// Written out whenever this much has gathered: few system calls, little memory.
constexpr qsizetype Chunk = 1 << 20;

// Carries a write failure out of the loop over the rides.
struct WriteFailed
{
    QString reason;
};

QString CannotWrite(const QString& path, const QString& why)
{
    return QStringLiteral("impossibile scrivere il file \"%1\": %2").arg(path, why);
}

bool NeedsQuotes(QStringView text)
{
    if (text.isEmpty())
        return false;
    if (text.front().isSpace() || text.back().isSpace())
        return true; // a spreadsheet would trim them
    for (const QChar c : text)
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n')
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

// The lines of the file, gathered in memory a chunk at a time.
class LineWriter
{
public:
    explicit LineWriter(std::vector<QByteArray> typeNames) : m_typeNames(std::move(typeNames))
    {
        m_out.reserve(Chunk + 4096);
    }

    QByteArray& Buffer() { return m_out; }

    void Header() { m_out += CsvExport::Columns.join(u',').toUtf8() + "\r\n"; }

    void Line(const Rides::Ride& ride)
    {
        const QString& description = ride.entry.testoDescrizione;
        const QByteArray& type = TypeName(ride.entry.tipo);
        // Room for the longest line this ride can make: every character of
        // the description a quote, doubled.
        const qsizetype start = m_out.size();
        m_out.resize(start + 96 + type.size() + 2 * m_utf8.requiredSpace(description.size()));
        char* at = m_out.data() + start;

        at = TwoDigits(TwoDigits(at, ride.anno / 100), ride.anno % 100);
        *at++ = '-';
        at = TwoDigits(at, ride.mese);
        *at++ = '-';
        at = TwoDigits(at, ride.entry.giorno);
        *at++ = ',';
        at = std::copy(type.cbegin(), type.cend(), at);
        *at++ = ',';
        // The shortest digits that read back as the same number, never an exponent.
        at = std::to_chars(at, at + 48, ride.entry.chilometri + 0.0, std::chars_format::fixed).ptr;
        *at++ = ',';
        at = WriteDuration(at, ride.entry.tempo.Val());
        *at++ = ',';
        at = WriteField(at, description, m_utf8);
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

    // hh:mm:ss to the nearest second; nothing for no duration. Hours past 23,
    // which only another program stores, are written as they are.
    static char* WriteDuration(char* at, double days)
    {
        const double seconds = std::round(days * TDateTime::SecsPerDay);
        if (!(seconds >= 1.0 && seconds < 1e9))
            return at;
        const int total = int(seconds);
        at = total < 360000 ? TwoDigits(at, total / 3600) : std::to_chars(at, at + 16, total / 3600).ptr;
        *at++ = ':';
        at = TwoDigits(at, total / 60 % 60);
        *at++ = ':';
        return TwoDigits(at, total % 60);
    }

    std::vector<QByteArray> m_typeNames; // by key
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

void WriteOut(QSaveFile& file, QByteArray& buffer)
{
    if (file.write(buffer) != buffer.size())
        throw WriteFailed{file.errorString()};
    buffer.resize(0); // keeps its room for the next chunk
}

}

namespace CsvExport {

Result ExportLog(TZTConnection& connection, const QString& path)
{
    if (SameFile(path, connection.DataSource()))
        return {0, CannotWrite(path, QStringLiteral("è il database del diario"))};
    Result result;
    try {
        LineWriter writer(TypeNames(connection));
        // The file gets its name on Commit, once it is written and flushed.
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {0, CannotWrite(path, file.errorString())};
        writer.Header();
        Rides::ForEach(connection, [&](const Rides::Ride& ride) {
            writer.Line(ride);
            ++result.rides;
            if (writer.Buffer().size() >= Chunk)
                WriteOut(file, writer.Buffer());
        });
        WriteOut(file, writer.Buffer());
        if (!file.commit())
            return {0, CannotWrite(path, file.errorString())};
    } catch (const WriteFailed& failed) {
        return {0, CannotWrite(path, failed.reason)};
    } catch (const Exception& e) {
        return {0, e.Message()};
    }
    // The new name must outlast a power cut too; the file itself is whole
    // already, so a folder that cannot be flushed is no reason to fail.
    QString ignored;
    DurableFiles::SyncFolder(QFileInfo(path).absolutePath(), ignored);
    return result;
}

}
