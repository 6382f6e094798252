#include "util/IniFile.h"

#include "util/Exception.h"
#include "util/FileDescriptor.h"
#include "util/SystemErrors.h"
#include "util/Windows1252.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray ByteOrderMark = "\xEF\xBB\xBF";

bool IsUtf8(QByteArrayView bytes)
{
    // Stateless, so a sequence cut short at the end counts as an error too.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    [[maybe_unused]] const QString text = decoder(bytes);
    return !decoder.hasError();
}

// The rider's words for why a file could not be read, then the system's
// name of the error: its text may already be in the rider's language.
QString ReadErrorText(int error)
{
    const QString words = SystemErrorWords(error);
    const char* name = ::strerrorname_np(error);
    return (words.isEmpty() ? qt_error_string(error) : words)
           + QStringLiteral(" (%1)").arg(name ? QString::fromLatin1(name) : QString::number(error));
}

Exception WriteError(const QString& path, const QFileDevice& file)
{
    return Exception(QStringLiteral("Impossibile scrivere il file %1: %2").arg(path, file.errorString()));
}

bool IsSectionHeader(const QString& line, QString* name)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(u'[') || !trimmed.endsWith(u']'))
        return false;
    if (name)
        *name = trimmed.mid(1, trimmed.size() - 2).trimmed();
    return true;
}

QString Unquote(const QString& value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'')
        && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

}

IniFile::IniFile(const QString& path)
    : m_path(path)
{
    // Read with the system's calls, whose error number says why a file could
    // not be read. Not blocking: a pipe in the file's place must not hang.
    const FileDescriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info{};
    if (!file.valid()) {
        if (errno != ENOENT && errno != ENOTDIR)
            m_readError = ReadErrorText(errno);
        return;
    }
    if (::fstat(file.get(), &info) != 0)
        m_readError = ReadErrorText(errno);
    else if (S_ISDIR(info.st_mode))
        m_readError = ReadErrorText(EISDIR);
    else if (!S_ISREG(info.st_mode))
        m_readError = ReadErrorText(ENXIO);
    if (!m_readError.isEmpty())
        return;
    QByteArray data;
    char buffer[16384];
    for (ssize_t n; (n = ::read(file.get(), buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            m_readError = ReadErrorText(errno);
            return;
        }
        data.append(buffer, n);
    }
    Load(data);
}

void IniFile::Load(const QByteArray& data)
{
    QByteArrayView rest(data);
    if (rest.startsWith(ByteOrderMark)) {
        m_bom = true;
        rest = rest.sliced(ByteOrderMark.size());
    }
    m_encoding = IsUtf8(rest) ? Encoding::Utf8 : Encoding::Windows1252;
    if (rest.contains("\r\n"))
        m_newline = "\r\n";
    while (!rest.isEmpty()) {
        const qsizetype newline = rest.indexOf('\n');
        Line line;
        line.bytes = rest.first(newline < 0 ? rest.size() : newline).toByteArray();
        if (newline >= 0) {
            const bool crlf = line.bytes.endsWith('\r');
            line.bytes.chop(crlf ? 1 : 0);
            line.end = crlf ? "\r\n" : "\n";
        }
        line.text = m_encoding == Encoding::Utf8 ? QString::fromUtf8(line.bytes) : DecodeWindows1252(line.bytes);
        m_lines.append(line);
        rest = newline < 0 ? QByteArrayView() : rest.sliced(newline + 1);
    }
}

IniFile::Range IniFile::FindSection(const QString& section) const
{
    Range range;
    QString name;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (!IsSectionHeader(m_lines.at(i).text, &name) || name.compare(section, Qt::CaseInsensitive) != 0)
            continue;
        range.header = i;
        range.end = i + 1;
        while (range.end < m_lines.size() && !IsSectionHeader(m_lines.at(range.end).text, nullptr))
            ++range.end;
        return range;
    }
    return range;
}

qsizetype IniFile::FindKey(const Range& range, const QString& key, QString* value) const
{
    if (range.header < 0)
        return -1;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const QString& line = m_lines.at(i).text;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0 || line.trimmed().startsWith(u';'))
            continue;
        if (line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
            if (value)
                *value = Unquote(line.mid(eq + 1).trimmed());
            return i;
        }
    }
    return -1;
}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& fallback) const
{
    QString value;
    return FindKey(FindSection(section), key, &value) >= 0 ? value : fallback;
}

int IniFile::ReadInteger(const QString& section, const QString& key, int fallback) const
{
    bool ok = false;
    const int value = ReadString(section, key, QString()).toInt(&ok, 10);
    return ok ? value : fallback;
}

void IniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    Range range = FindSection(section);
    const QString text = key + u'=' + value;
    if (const qsizetype at = FindKey(range, key, nullptr); at >= 0) {
        m_lines[at].text = text;
        m_lines[at].changed = true;
        return;
    }
    if (range.header < 0) {
        if (!m_lines.isEmpty() && !m_lines.back().text.trimmed().isEmpty())
            Insert(m_lines.size(), QString());
        Insert(m_lines.size(), u'[' + section + u']');
        Insert(m_lines.size(), text);
        return;
    }
    // After the section's last non-blank line, so blank separators stay below it.
    qsizetype at = range.end;
    while (at > range.header + 1 && m_lines.at(at - 1).text.trimmed().isEmpty())
        --at;
    Insert(at, text);
}

void IniFile::Insert(qsizetype at, const QString& text)
{
    m_lines.insert(at, Line{text, QByteArray(), m_newline, true});
}

void IniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

QByteArray IniFile::Encode(const QString& text) const
{
    return m_encoding == Encoding::Utf8 ? text.toUtf8() : EncodeWindows1252(text);
}

void IniFile::UpdateFile() const
{
    if (!m_readError.isEmpty())
        throw Exception(QStringLiteral("Il file %1 non si è potuto leggere: non viene riscritto").arg(m_path));
    QByteArray data;
    if (m_bom)
        data += ByteOrderMark;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines.at(i);
        data += line.changed ? Encode(line.text) : line.bytes;
        // The file's last line may lack its end; it needs one once lines follow it.
        data += line.end.isEmpty() && i + 1 < m_lines.size() ? m_newline : line.end;
    }
    // A folder that takes no new file still lets its settings file be rewritten
    // in place. Only then: on a full disk a failed in-place write would lose it.
    if (QFileInfo(QFileInfo(m_path).absolutePath()).isWritable())
        WriteAtomically(data);
    else
        WriteInPlace(data);
}

void IniFile::WriteAtomically(const QByteArray& data) const
{
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        throw WriteError(m_path, file);
}

void IniFile::WriteInPlace(const QByteArray& data) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size() || !file.flush())
        throw WriteError(m_path, file);
}
