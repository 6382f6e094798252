#include "util/IniFile.h"

#include "util/Exception.h"

#include <QFile>
#include <QSaveFile>

namespace {

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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QByteArray data = file.readAll();
    if (data.startsWith("\xEF\xBB\xBF")) {
        m_bom = true;
        data.remove(0, 3);
    }
    const QString text = QString::fromUtf8(data);
    if (text.contains(u"\r\n"))
        m_newline = QStringLiteral("\r\n");
    m_lines = text.split(u'\n');
    for (QString& line : m_lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    // A final newline leaves one empty piece that is not a line of the file.
    if (!m_lines.isEmpty() && m_lines.back().isEmpty())
        m_lines.removeLast();
}

IniFile::Range IniFile::FindSection(const QString& section) const
{
    Range range;
    QString name;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (!IsSectionHeader(m_lines.at(i), &name) || name.compare(section, Qt::CaseInsensitive) != 0)
            continue;
        range.header = i;
        range.end = i + 1;
        while (range.end < m_lines.size() && !IsSectionHeader(m_lines.at(range.end), nullptr))
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
        const QString& line = m_lines.at(i);
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
    const QString line = key + u'=' + value;
    if (const qsizetype at = FindKey(range, key, nullptr); at >= 0) {
        m_lines[at] = line;
        return;
    }
    if (range.header < 0) {
        if (!m_lines.isEmpty() && !m_lines.back().trimmed().isEmpty())
            m_lines.append(QString());
        m_lines.append(u'[' + section + u']');
        m_lines.append(line);
        return;
    }
    // After the section's last non-blank line, so blank separators stay below it.
    qsizetype at = range.end;
    while (at > range.header + 1 && m_lines.at(at - 1).trimmed().isEmpty())
        --at;
    m_lines.insert(at, line);
}

void IniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void IniFile::UpdateFile() const
{
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        throw Exception(QStringLiteral("Impossibile scrivere il file %1: %2").arg(m_path, file.errorString()));
    QByteArray data;
    if (m_bom)
        data.append("\xEF\xBB\xBF");
    for (const QString& line : m_lines)
        data.append((line + m_newline).toUtf8());
    if (file.write(data) != data.size() || !file.commit())
        throw Exception(QStringLiteral("Impossibile scrivere il file %1: %2").arg(m_path, file.errorString()));
}
