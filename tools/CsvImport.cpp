#include "tools/CsvImport.h"

#include "data/Bikes.h"
#include "data/Sql.h"
#include "data/TZTConnection.h"
#include "data/TZTRecordset.h"
#include "data/Transaction.h"
#include "tools/CsvExport.h"
#include "util/Exception.h"
#include "util/Windows1252.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <tuple>
#include <variant>
#include <vector>

namespace {

// Lines read, or rides stored, between two reports of progress.
constexpr qint64 ProgressEvery = 1024;

// A value as a message shows it: between quotes, cut short and on one line,
// so the message box stays readable whatever the file holds.
QString Quoted(QStringView value)
{
    constexpr qsizetype Longest = 40;
    QString shown = value.first(std::min(value.size(), Longest)).toString();
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("↵")).replace(u'\r', u'↵').replace(u'\n', u'↵');
    if (value.size() <= Longest)
        return u'"' + shown + u'"';
    return u'"' + shown + QStringLiteral("…\" (%1 caratteri)").arg(value.size());
}

bool IsLineBreak(char c)
{
    return c == '\n' || c == '\r';
}

// `bytes` decoded as UTF-8 at `out`, and `out` moved past them; nothing when
// they are not valid UTF-8.
bool AppendUtf8(QStringDecoder& utf8, QChar*& out, QByteArrayView bytes)
{
    utf8.resetState();
    QChar* const end = utf8.appendToBuffer(out, bytes);
    if (utf8.hasError())
        return false;
    out = end;
    return true;
}

// Each line of `bytes` decoded at `out` as UTF-8 when it is valid UTF-8, else
// as Windows-1252. Line breaks are single bytes in both, never inside a UTF-8
// sequence.
void AppendLines(QStringDecoder& utf8, QChar*& out, QByteArrayView bytes)
{
    for (auto start = bytes.begin(); start != bytes.end();) {
        const auto end = std::find_if(start, bytes.end(), IsLineBreak);
        const QByteArrayView line(start, end);
        if (!AppendUtf8(utf8, out, line)) {
            const QString windows = DecodeWindows1252(line);
            out = std::copy(windows.begin(), windows.end(), out);
        }
        if (end == bytes.end())
            return;
        *out++ = QLatin1Char(*end);
        start = end + 1;
    }
}

// UTF-16 (or UTF-32) with its byte-order mark, whole; otherwise each line is
// UTF-8 when it is valid UTF-8 and Windows-1252 when it is not, so that a line
// typed in another editor leaves the accents of the others alone.
QString Decode(QByteArrayView bytes)
{
    // Stateless, so a sequence cut short at the end counts as an error too.
    // An initial byte-order mark is dropped.
    const auto marked = QStringConverter::encodingForData(bytes);
    const QStringConverter::Encoding encoding = marked.value_or(QStringConverter::Utf8);
    QStringDecoder whole(encoding, QStringConverter::Flag::Stateless);
    QString text = whole(bytes);
    if (!whole.hasError() || encoding != QStringConverter::Utf8)
        return text;

    // Runs of some 64 KB, cut at line breaks, are decoded in one go, and line
    // by line only where a run is not valid UTF-8: one line in another
    // encoding costs little more than decoding its run twice.
    constexpr qsizetype RunBytes = 1 << 16;
    if (marked)
        bytes = bytes.sliced(3);
    // Neither encoding makes more UTF-16 units than it has bytes.
    text = QString(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    QStringDecoder utf8(QStringConverter::Utf8,
                        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    for (auto start = bytes.begin(); start != bytes.end();) {
        const auto end =
            std::find_if(start + std::min<qsizetype>(RunBytes, bytes.end() - start), bytes.end(), IsLineBreak);
        const QByteArrayView run(start, end);
        if (!AppendUtf8(utf8, out, run))
            AppendLines(utf8, out, run);
        start = end;
    }
    text.truncate(out - text.constData());
    return text;
}

// CR LF, LF and CR alone each end a line.
qint64 LineBreaks(QStringView text)
{
    qint64 count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n')
            ++count;
        else if (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n'))
            ++count;
    }
    return count;
}

struct Field
{
    QStringView text;  // without its quotes
    QString unescaped; // holds the text when doubled quotes were made single
    int line = 0;      // where the field begins
    bool quoted = false;
};

bool IsBlank(const std::vector<Field>& fields)
{
    return std::all_of(fields.begin(), fields.end(), [](const Field& f) { return f.text.isEmpty(); });
}

// The records of RFC 4180: fields between separators, quoted or not, a quoted
// one holding separators, line breaks and doubled quotes.
class RecordReader
{
public:
    RecordReader(QStringView text, QChar separator) : m_text(text), m_separator(separator) {}

    bool AtEnd() const { return m_pos >= m_text.size(); }
    int Line() const { return m_line; }

    // The fields of the next record; the fault of a quote left open, or of
    // text after a closing one, ends the reading.
    std::optional<CsvFault> Next(std::vector<Field>& fields)
    {
        fields.clear();
        for (;;) {
            Field& field = fields.emplace_back();
            field.line = m_line;
            if (m_pos < m_text.size() && m_text[m_pos] == u'"') {
                if (std::optional<CsvFault> fault = ReadQuoted(field, int(fields.size())))
                    return fault;
            } else {
                ReadPlain(field);
            }
            if (m_pos >= m_text.size())
                return std::nullopt;
            const QChar c = m_text[m_pos++];
            if (c == m_separator)
                continue;
            if (c == u'\r' && m_pos < m_text.size() && m_text[m_pos] == u'\n')
                ++m_pos;
            ++m_line;
            return std::nullopt;
        }
    }

    // Blank records skipped, as spreadsheets leave them after the last row;
    // no fields at the end.
    std::optional<CsvFault> NextFilled(std::vector<Field>& fields)
    {
        while (!AtEnd()) {
            if (std::optional<CsvFault> fault = Next(fields))
                return fault;
            if (!IsBlank(fields))
                return std::nullopt;
        }
        fields.clear();
        return std::nullopt;
    }

private:
    bool EndsField(QChar c) const { return c == m_separator || c == u'\r' || c == u'\n'; }

    void ReadPlain(Field& field)
    {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && !EndsField(m_text[m_pos]))
            ++m_pos;
        field.text = m_text.sliced(start, m_pos - start);
    }

    std::optional<CsvFault> ReadQuoted(Field& field, int column)
    {
        const qsizetype start = ++m_pos;
        field.quoted = true;
        bool doubled = false;
        for (;;) {
            const qsizetype quote = m_text.indexOf(u'"', m_pos);
            if (quote < 0)
                return CsvFault{field.line, column, QStringLiteral("le virgolette aperte non si chiudono")};
            m_line += int(LineBreaks(m_text.sliced(m_pos, quote - m_pos)));
            m_pos = quote + 1;
            if (m_pos < m_text.size() && m_text[m_pos] == u'"') {
                doubled = true;
                ++m_pos;
                continue;
            }
            break;
        }
        field.text = m_text.sliced(start, m_pos - 1 - start);
        if (doubled) {
            field.unescaped = field.text.toString().replace(QStringLiteral("\"\""), QStringLiteral("\""));
            field.text = field.unescaped;
        }
        if (m_pos < m_text.size() && !EndsField(m_text[m_pos]))
            return CsvFault{m_line, column, QStringLiteral("testo dopo le virgolette di chiusura")};
        return std::nullopt;
    }

    QStringView m_text;
    QChar m_separator;
    qsizetype m_pos = 0;
    int m_line = 1;
};

// The position of each known column in a record, -1 when the file has none.
enum Column { DataColumn, TipoColumn, KmColumn, DurataColumn, DescrizioneColumn, BiciColumn, KnownColumns };

const QString& ColumnName(int column)
{
    return column == BiciColumn ? CsvExport::BikeColumn : CsvExport::Columns[column];
}

struct Layout
{
    int at[KnownColumns] = {-1, -1, -1, -1, -1, -1};
    int fields = 0; // the header's
    bool Complete() const { return at[DataColumn] >= 0 && at[KmColumn] >= 0; }
};

std::optional<CsvFault> LayoutOf(const std::vector<Field>& header, Layout& layout)
{
    layout.fields = int(header.size());
    for (int i = 0; i < layout.fields; ++i) {
        const QStringView name = header[i].text.trimmed();
        for (int known = 0; known < KnownColumns; ++known) {
            if (name.compare(ColumnName(known), Qt::CaseInsensitive) != 0)
                continue;
            if (layout.at[known] >= 0)
                return CsvFault{header[i].line, i + 1, QStringLiteral("la colonna %1 compare due volte").arg(Quoted(name))};
            layout.at[known] = i;
        }
    }
    return std::nullopt;
}

// Digits only, from `least` to `most` of them.
bool Number(QStringView text, int least, int most, int& value)
{
    if (text.size() < least || text.size() > most)
        return false;
    value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    return true;
}

// Exactly `count` parts between `separator`s.
bool Split(QStringView text, QChar separator, QStringView* parts, int count)
{
    int found = 0;
    for (QStringView part : QStringTokenizer(text, separator)) {
        if (found == count)
            return false;
        parts[found++] = part;
    }
    return found == count;
}

// "h:mm" or "hh:mm:ss"; hours of any size, which the caller limits. A
// spreadsheet in an English locale writes a duration as a time of day with
// AM or PM ("02:11:59 AM"), hours 1 to 12.
bool ParseDuration(QStringView text, int& hours, int& minutes, int& seconds)
{
    int afternoon = -1; // -1 for no AM or PM
    for (const auto& [suffix, pm] : {std::pair(u" AM", 0), std::pair(u" PM", 1)}) {
        if (text.endsWith(QStringView(suffix), Qt::CaseInsensitive)) {
            text.chop(3);
            afternoon = pm;
        }
    }
    QStringView parts[3];
    seconds = 0;
    const bool threeParts = Split(text, u':', parts, 3);
    if (!threeParts && !Split(text, u':', parts, 2))
        return false;
    if (!(Number(parts[0], 1, 6, hours) && Number(parts[1], 1, 2, minutes) && minutes <= 59
          && (!threeParts || (Number(parts[2], 1, 2, seconds) && seconds <= 59))))
        return false;
    if (afternoon < 0)
        return true;
    if (hours < 1 || hours > 12)
        return false;
    hours = hours % 12 + 12 * afternoon;
    return true;
}

// A time of day, as a date may carry after it.
bool IsTimeOfDay(QStringView text)
{
    int hours = 0, minutes = 0, seconds = 0;
    return ParseDuration(text, hours, minutes, seconds) && hours <= 23;
}

// A date as written: yyyy-mm-dd, or two parts and a year between slashes or
// dots, where the file tells which part is the day. A time may follow, and is
// not kept.
struct WrittenDate
{
    QStringView text; // without the time
    bool iso = false;
    int first = 0;  // the first part as written; an ISO date's month
    int second = 0; // the second; an ISO date's day
    int year = 0;
    bool shortYear = false;

    bool Tells() const { return !iso && (first > 12) != (second > 12); }
    bool Open() const { return !iso && first != second && first <= 12 && second <= 12; }
};

bool ParseDate(QStringView text, WrittenDate& date)
{
    const qsizetype timeAt = text.indexOf(u' ');
    const qsizetype isoTimeAt = timeAt < 0 ? text.indexOf(u'T') : -1;
    if (timeAt >= 0 && !IsTimeOfDay(text.sliced(timeAt + 1).trimmed()))
        return false;
    if (isoTimeAt >= 0 && !IsTimeOfDay(text.sliced(isoTimeAt + 1)))
        return false;
    date.text = text.first(timeAt >= 0 ? timeAt : isoTimeAt >= 0 ? isoTimeAt : text.size());
    QStringView parts[3];
    if (Split(date.text, u'-', parts, 3)) {
        date.iso = true;
        return Number(parts[0], 4, 4, date.year) && Number(parts[1], 1, 2, date.first)
               && Number(parts[2], 1, 2, date.second);
    }
    if (isoTimeAt >= 0 || !(Split(date.text, u'/', parts, 3) || Split(date.text, u'.', parts, 3)))
        return false;
    date.shortYear = parts[2].size() == 2;
    return Number(parts[0], 1, 2, date.first) && Number(parts[1], 1, 2, date.second)
           && (date.shortYear || parts[2].size() == 4) && Number(parts[2], 2, 4, date.year);
}

// Where the file first tells which part of its dates is the day.
struct Telling
{
    CsvImport::DayOrder order = CsvImport::DayOrder::FromFile;
    int line = 0;
    QString date; // as written
};

Telling TellingOf(const WrittenDate& date, int line)
{
    return {date.first > 12 ? CsvImport::DayOrder::DayFirst : CsvImport::DayOrder::MonthFirst, line,
            date.text.toString()};
}

// The first telling date of the records `rest` reads; none when no date
// tells before the end, or before a fault, where the reading proper stops too.
Telling FirstTelling(RecordReader rest, int dateColumn)
{
    std::vector<Field> fields;
    while (!rest.NextFilled(fields) && !fields.empty()) {
        WrittenDate date;
        if (dateColumn < int(fields.size()) && ParseDate(fields[dateColumn].text.trimmed(), date) && date.Tells())
            return TellingOf(date, fields[dateColumn].line);
    }
    return {};
}

// Digits with at most one decimal separator, read exactly, whatever the locale.
bool ParseDistance(QStringView text, bool commaToo, double& km)
{
    char number[40];
    if (text.size() >= qsizetype(sizeof number))
        return false;
    qsizetype size = 0, digits = 0, points = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            ++digits;
            number[size++] = char(c.unicode());
        } else if (c == u'.' || (commaToo && c == u',')) {
            ++points;
            number[size++] = '.';
        } else if (c == u'-' && i == 0) {
            number[size++] = '-';
        } else if (c != u'+' || i != 0) {
            return false;
        }
    }
    if (digits == 0 || points > 1)
        return false;
    const auto parsed = std::from_chars(number, number + size, km);
    // -0 is 0.
    km += 0.0;
    return parsed.ec == std::errc() && parsed.ptr == number + size && std::isfinite(km);
}

// One record of the file as a ride, every field checked against the log.
class RideReader
{
public:
    RideReader(const CsvImport::Log& log, const Layout& layout, QChar separator)
        : m_log(log), m_layout(layout), m_commaDecimals(separator != u','), m_told{log.order, 0, {}}
    {
    }

    // The first date either order reads, as written, when no date of the file
    // tells the order; its readings day first and month first.
    const QString& Untold() const { return m_untold; }
    const std::pair<QDate, QDate>& UntoldReadings() const { return m_untoldReadings; }

    // Fills `ride` and its `bike`'s name with these fields, or tells what is
    // wrong with them; `rest` reads the records after them.
    std::optional<CsvFault> Read(const std::vector<Field>& fields, const RecordReader& rest, Rides::Ride& ride,
                                 QString& bike)
    {
        m_fields = &fields;
        if (int(fields.size()) > m_layout.fields) {
            // A separator that was not quoted has shifted every field after it.
            const auto extra = std::find_if(fields.begin() + m_layout.fields, fields.end(),
                                            [](const Field& f) { return !f.text.isEmpty(); });
            const QString reason =
                QStringLiteral("la riga ha più campi dell'intestazione (%1): ").arg(m_layout.fields);
            if (extra == fields.end())
                return Fault(m_layout.fields, reason + QStringLiteral("separatori in più alla fine"));
            return Fault(int(extra - fields.begin()), reason + Quoted(extra->text));
        }
        std::optional<CsvFault> fault = ReadDate(ride, rest);
        if (!fault)
            fault = ReadType(ride.entry.tipo);
        if (!fault)
            fault = ReadDistance(ride.entry.chilometri);
        if (!fault)
            fault = ReadDuration(ride.entry.tempo);
        if (!fault)
            fault = ReadDescription(ride.entry.testoDescrizione);
        if (!fault)
            fault = ReadBike(bike);
        return fault;
    }

private:
    QStringView Text(Column column) const
    {
        const int at = m_layout.at[column];
        return at >= 0 && at < int(m_fields->size()) ? (*m_fields)[at].text : QStringView();
    }

    CsvFault Fault(int at, const QString& reason) const
    {
        const int line = at < int(m_fields->size()) ? (*m_fields)[at].line : m_fields->back().line;
        return {line, at + 1, reason};
    }
    CsvFault Fault(Column column, const QString& reason) const { return Fault(m_layout.at[column], reason); }

    std::optional<CsvFault> ReadDate(Rides::Ride& ride, const RecordReader& rest)
    {
        const QStringView text = Text(DataColumn).trimmed();
        if (text.isEmpty())
            return Fault(DataColumn, QStringLiteral("manca la data"));
        WrittenDate written;
        if (!ParseDate(text, written))
            return Fault(DataColumn, QStringLiteral("data non valida (aaaa-mm-gg o g/m/aaaa): ") + Quoted(text));
        if (written.shortYear) {
            if (std::optional<CsvFault> fault = FullYear(text, written.year))
                return fault;
        }
        bool dayFirst = false;
        if (!written.iso) {
            if (std::optional<CsvFault> fault = DayFirst(written, rest, dayFirst))
                return fault;
        }
        const int month = dayFirst ? written.second : written.first;
        const int day = dayFirst ? written.first : written.second;
        std::optional<QString> refusal = Refusal(QDate(written.year, month, day), text);
        if (m_told.order == CsvImport::DayOrder::FromFile && written.Open()) {
            // Either reading may be the rider's: only a date that neither makes is refused now.
            const QDate other(written.year, day, month);
            if (refusal && !Refusal(other, text))
                refusal.reset();
            if (!refusal && m_untold.isEmpty()) {
                m_untold = written.text.toString();
                m_untoldReadings = {QDate(written.year, written.second, written.first),
                                    QDate(written.year, written.first, written.second)};
            }
        }
        if (refusal)
            return Fault(DataColumn, *refusal);
        ride.anno = written.year;
        ride.mese = month;
        ride.entry.giorno = day;
        return std::nullopt;
    }

    // A two-digit year made the one in the only century that puts it between
    // the log's first and last day.
    std::optional<CsvFault> FullYear(QStringView text, int& year) const
    {
        const int twoDigits = year;
        const int first = m_log.firstDay.year(), last = m_log.lastDay.year();
        int found = 0;
        for (int century = first / 100 * 100; century <= last; century += 100)
            if (century + twoDigits >= first && century + twoDigits <= last) {
                year = century + twoDigits;
                ++found;
            }
        if (found != 1)
            return Fault(DataColumn, QStringLiteral("l'anno di due cifre %1 tra il %2 e il %3: %4")
                                         .arg(found ? QStringLiteral("può cadere in due secoli") : QStringLiteral("non cade"))
                                         .arg(first)
                                         .arg(last)
                                         .arg(Quoted(text)));
        return std::nullopt;
    }

    // Whether the day comes first in `date`: decided once for the whole file,
    // by the first date with a part over 12 wherever it is, then held to.
    std::optional<CsvFault> DayFirst(const WrittenDate& date, const RecordReader& rest, bool& dayFirst)
    {
        if (m_told.order == CsvImport::DayOrder::FromFile && !m_toldOpen) {
            if (date.Tells())
                m_told = TellingOf(date, CurrentLine());
            else if (date.Open()) {
                m_told = FirstTelling(rest, m_layout.at[DataColumn]);
                m_toldOpen = m_told.order == CsvImport::DayOrder::FromFile;
            }
        }
        dayFirst = m_told.order != CsvImport::DayOrder::MonthFirst;
        if (m_told.line > 0 && date.Tells() && (date.first > 12) != dayFirst)
            return Fault(DataColumn, QStringLiteral("giorno e mese in ordine opposto a %1 della riga %2: %3")
                                         .arg(Quoted(m_told.date))
                                         .arg(m_told.line)
                                         .arg(Quoted(Text(DataColumn).trimmed())));
        return std::nullopt;
    }

    std::optional<QString> Refusal(const QDate& date, QStringView text) const
    {
        if (!date.isValid())
            return QStringLiteral("la data non esiste: ") + Quoted(text);
        if (date < m_log.firstDay)
            return QStringLiteral("la data è anteriore al %1: %2")
                .arg(m_log.firstDay.toString(u"d/M/yyyy"), Quoted(text));
        if (date > m_log.lastDay)
            return QStringLiteral("la data è successiva a oggi (%1): %2")
                .arg(m_log.lastDay.toString(u"d/M/yyyy"), Quoted(text));
        return std::nullopt;
    }

    int CurrentLine() const { return (*m_fields)[m_layout.at[DataColumn]].line; }

    std::optional<CsvFault> ReadType(int& key) const
    {
        const QStringView text = Text(TipoColumn).trimmed();
        if (m_log.types.isEmpty())
            return Fault(m_layout.at[TipoColumn] >= 0 ? m_layout.at[TipoColumn] : m_layout.at[DataColumn],
                         QStringLiteral("il diario non ha tipi di uscita"));
        key = m_log.types.first().key;
        if (text.isEmpty())
            return std::nullopt;
        for (const CsvImport::RideType& type : m_log.types)
            if (text.compare(type.name, Qt::CaseInsensitive) == 0) {
                key = type.key;
                return std::nullopt;
            }
        int number = 0;
        if (Number(text, 1, 9, number))
            for (const CsvImport::RideType& type : m_log.types)
                if (type.key == number) {
                    key = number;
                    return std::nullopt;
                }
        return Fault(TipoColumn, QStringLiteral("tipo di uscita sconosciuto: ") + Quoted(text));
    }

    std::optional<CsvFault> ReadDistance(double& km) const
    {
        const QStringView text = Text(KmColumn).trimmed();
        if (text.isEmpty())
            return Fault(KmColumn, QStringLiteral("manca la distanza"));
        if (!ParseDistance(text, m_commaDecimals || (*m_fields)[m_layout.at[KmColumn]].quoted, km))
            return Fault(KmColumn, QStringLiteral("distanza non valida: ") + Quoted(text));
        if (km < 0.0 || km > RideValidation::MaxKm)
            return Fault(KmColumn, QStringLiteral("distanza fuori dall'intervallo 0-999: ") + Quoted(text));
        return std::nullopt;
    }

    std::optional<CsvFault> ReadDuration(TDateTime& duration) const
    {
        const QStringView text = Text(DurataColumn).trimmed();
        duration = TDateTime();
        if (text.isEmpty())
            return std::nullopt;
        int hours = 0, minutes = 0, seconds = 0;
        if (!ParseDuration(text, hours, minutes, seconds))
            return Fault(DurataColumn, QStringLiteral("durata non valida (hh:mm:ss o h:mm): ") + Quoted(text));
        if (hours >= 24)
            return Fault(DurataColumn, QStringLiteral("durata di 24 ore o più: ") + Quoted(text));
        duration = TDateTime::EncodeTime(hours, minutes, seconds, 0);
        return std::nullopt;
    }

    std::optional<CsvFault> ReadDescription(QString& description) const
    {
        const QStringView text = Text(DescrizioneColumn);
        if (text.contains(u'\r') || text.contains(u'\n'))
            return Fault(DescrizioneColumn, QStringLiteral("la descrizione va a capo: ") + Quoted(text));
        constexpr int longest = RideColumn::DescriptionMaxLength;
        if (text.size() > longest)
            return Fault(DescrizioneColumn,
                         QStringLiteral("la descrizione supera i %1 caratteri: %2").arg(longest).arg(Quoted(text)));
        description = text.toString();
        return std::nullopt;
    }

    std::optional<CsvFault> ReadBike(QString& bike) const
    {
        const QStringView text = Text(BiciColumn).trimmed();
        // The name goes in a one-line list of the ride dialog.
        if (text.contains(u'\r') || text.contains(u'\n'))
            return Fault(BiciColumn, QStringLiteral("il nome della bici va a capo: ") + Quoted(text));
        bike = text.toString();
        return std::nullopt;
    }

    const CsvImport::Log& m_log;
    const Layout& m_layout;
    const bool m_commaDecimals;
    const std::vector<Field>* m_fields = nullptr;
    Telling m_told;          // the rider's order, or the file's and where it told it
    bool m_toldOpen = false; // no date of the file tells
    QString m_untold;        // the first date that either order reads, as written
    std::pair<QDate, QDate> m_untoldReadings; // day first, month first
};

struct Header
{
    QChar separator;
    Layout layout;
};

// The header as `separator` reads it, or its fault: the file is empty, or
// the header lacks a required column or has one twice.
std::variant<Header, CsvFault> HeaderWith(QStringView text, QChar separator)
{
    RecordReader reader(text, separator);
    std::vector<Field> fields;
    if (std::optional<CsvFault> fault = reader.NextFilled(fields))
        return *fault;
    if (fields.empty())
        return CsvFault{0, 0, QStringLiteral("il file è vuoto")};
    Layout layout;
    if (std::optional<CsvFault> fault = LayoutOf(fields, layout))
        return *fault;
    if (layout.Complete())
        return Header{separator, layout};
    const Column missing = layout.at[DataColumn] < 0 ? DataColumn : KmColumn;
    return CsvFault{fields.front().line, 0,
                    QStringLiteral("manca la colonna %1").arg(Quoted(CsvExport::Columns[missing]))};
}

// The header with the separator that makes sense of it: the one that finds
// both required columns.
std::variant<Header, CsvFault> ReadHeader(QStringView text)
{
    // Tried from the one the first line holds most often, whose fault is told
    // when none makes sense of the header.
    const auto isBreak = [](QChar c) { return c == u'\r' || c == u'\n'; };
    const auto lineStart = std::find_if_not(text.begin(), text.end(), isBreak);
    const QStringView firstLine(lineStart, std::find_if(lineStart, text.end(), isBreak));
    std::array<QChar, 3> separators = {u',', u';', u'\t'};
    std::stable_sort(separators.begin(), separators.end(),
                     [&](QChar a, QChar b) { return firstLine.count(a) > firstLine.count(b); });
    std::optional<CsvFault> firstFault;
    for (const QChar separator : separators) {
        std::variant<Header, CsvFault> header = HeaderWith(text, separator);
        if (std::holds_alternative<Header>(header))
            return header;
        if (!firstFault)
            firstFault = std::get<CsvFault>(std::move(header));
    }
    return *firstFault;
}

struct RideKey
{
    qint64 day = 0;
    int type = 0;
    double km = 0.0;
    qint64 seconds = 0; // 0 for no duration
    QString description;
    bool operator==(const RideKey&) const = default;
};

size_t qHash(const RideKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.day, key.type, key.km, key.seconds, key.description);
}

RideKey KeyOf(const Rides::Ride& ride)
{
    const double seconds = std::round(ride.entry.tempo.Val() * TDateTime::SecsPerDay);
    return {QDate(ride.anno, ride.mese, ride.entry.giorno).toJulianDay(), ride.entry.tipo, ride.entry.chilometri + 0.0,
            seconds >= 1.0 && seconds < 1e9 ? qint64(seconds) : 0, ride.entry.testoDescrizione};
}

CsvImport::ReadResult Cancelled()
{
    CsvImport::ReadResult result;
    result.cancelled = true;
    return result;
}

CsvImport::ReadResult Faulty(CsvFault fault)
{
    CsvImport::ReadResult result;
    result.fault = std::move(fault);
    return result;
}

}

QString CsvFault::Message() const
{
    if (line <= 0)
        return reason.isEmpty() ? reason : reason.front().toUpper() + reason.sliced(1);
    QString where = QStringLiteral("Riga %1").arg(line);
    if (column > 0)
        where += QStringLiteral(", colonna %1").arg(column);
    return where + QStringLiteral(": ") + reason;
}

namespace CsvImport {

ReadResult Parse(QByteArrayView bytes, const Log& log, const Progress& progress)
{
    const QString text = Decode(bytes);
    const qint64 lines = LineBreaks(text) + (text.endsWith(u'\n') || text.endsWith(u'\r') ? 0 : 1);
    if (progress && !progress(0, lines))
        return Cancelled();
    const std::variant<Header, CsvFault> read = ReadHeader(text);
    if (const CsvFault* fault = std::get_if<CsvFault>(&read))
        return Faulty(*fault);
    const Header& header = std::get<Header>(read);
    RecordReader records(text, header.separator);
    std::vector<Field> fields;
    records.NextFilled(fields); // the header, read already
    RideReader reader(log, header.layout, header.separator);
    const bool bikes = header.layout.at[BiciColumn] >= 0;
    ReadResult result;
    result.rides.reserve(lines);
    QString bike;
    for (;;) {
        if (std::optional<CsvFault> fault = records.NextFilled(fields))
            return Faulty(*fault);
        if (fields.empty())
            break;
        Rides::Ride& ride = result.rides.emplace_back();
        if (std::optional<CsvFault> fault = reader.Read(fields, records, ride, bike))
            return Faulty(*fault);
        if (bikes)
            result.bikes.append(bike);
        if (progress && result.rides.size() % ProgressEvery == 0 && !progress(records.Line(), lines))
            return Cancelled();
    }
    if (progress && !progress(lines, lines))
        return Cancelled();
    if (!reader.Untold().isEmpty()) {
        result.rides.clear();
        result.bikes.clear();
        result.ambiguousDate = reader.Untold();
        std::tie(result.ambiguousDayFirst, result.ambiguousMonthFirst) = reader.UntoldReadings();
    }
    return result;
}

ReadResult ReadFile(const QString& path, const Log& log, const Progress& progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("impossibile leggere il file: ") + file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Exception(QStringLiteral("impossibile leggere il file: ") + file.errorString());
    return Parse(bytes, log, progress);
}

Sorted SortOut(TZTConnection& connection, const QList<Rides::Ride>& rides, const QStringList& bikes)
{
    Sorted sorted;
    if (rides.isEmpty())
        return sorted;
    const auto day = [](const Rides::Ride& ride) { return std::tuple(ride.anno, ride.mese, ride.entry.giorno); };
    const auto [first, last] = std::minmax_element(rides.begin(), rides.end(),
                                                   [&](const auto& a, const auto& b) { return day(a) < day(b); });

    // The file's rides by what makes them equal: each key leads to the first
    // of its rides still unmatched, and each ride to the next with its key.
    // Only the log's rides of the file's days are read, and only the file's
    // are kept; a log with none of those days needs no index at all.
    QHash<RideKey, qsizetype> firstWaiting;
    std::vector<qsizetype> nextWaiting;
    std::vector<bool> present;
    const auto index = [&] {
        firstWaiting.reserve(rides.size());
        nextWaiting.resize(rides.size());
        present.resize(rides.size());
        for (qsizetype i = rides.size() - 1; i >= 0; --i) {
            const RideKey key = KeyOf(rides[i]);
            auto head = firstWaiting.find(key);
            if (head == firstWaiting.end())
                head = firstWaiting.insert(key, -1);
            nextWaiting[i] = *head;
            *head = i;
        }
    };
    Rides::ForEach(connection, first->Data(), last->Data(), [&](const Rides::Ride& stored) {
        if (nextWaiting.empty())
            index();
        const auto match = firstWaiting.find(KeyOf(stored));
        if (match == firstWaiting.end() || *match < 0)
            return;
        present[*match] = true;
        *match = nextWaiting[*match];
        ++sorted.present;
    });
    if (sorted.present == 0) {
        sorted.fresh = rides;
        sorted.freshBikes = bikes;
        return sorted;
    }
    for (qsizetype i = 0; i < rides.size(); ++i)
        if (!present[i]) {
            sorted.fresh.append(rides[i]);
            if (!bikes.isEmpty())
                sorted.freshBikes.append(bikes[i]);
        }
    return sorted;
}

QStringList NewBikes(TZTConnection& connection, const QStringList& bikes)
{
    QStringList fresh;
    if (std::all_of(bikes.begin(), bikes.end(), [](const QString& name) { return name.isEmpty(); }))
        return fresh;
    const Bikes::Garage garage = Bikes::Read(connection);
    QSet<QString> seen;
    for (const QString& name : bikes) {
        if (name.isEmpty() || garage.FindBike(name))
            continue;
        const QString folded = name.toCaseFolded();
        if (!seen.contains(folded)) {
            seen.insert(folded);
            fresh.append(name);
        }
    }
    return fresh;
}

StoreResult Store(TZTConnection& connection, const QList<Rides::Ride>& rides, const Progress& progress,
                  const QStringList& bikes)
{
    const qint64 total = rides.size();
    Transaction transaction(connection);
    {
        // Closed before the commit, and before the rollback on every other path.
        Rides::Appender appender(connection);
        // Only a file that names a bike makes the bikes' tables.
        std::optional<Bikes::Linker> linker;
        if (std::any_of(bikes.begin(), bikes.end(), [](const QString& name) { return !name.isEmpty(); }))
            linker.emplace(connection);
        for (qint64 i = 0; i < total; ++i) {
            if (progress && i % ProgressEvery == 0 && !progress(i, total))
                return {0, true};
            appender.AppendRide(rides[i]);
            const QString& name = linker ? bikes[i] : QString();
            if (name.isEmpty())
                continue;
            linker->Link(appender.AppendedKey(), linker->BikeNamed(name));
        }
    }
    if (progress && !progress(total, total))
        return {0, true};
    transaction.Commit();
    return {total, false};
}

}
