#pragma once

#include <QString>
#include <QStringList>

// A settings file of "[section]" headers and "key=value" lines, read and
// written like the classic profile routines: sections and keys match without
// regard to case, values are trimmed (and lose one pair of enclosing quotes),
// and writing keeps every line it does not change, comments included.
// Changes stay in memory until UpdateFile(), which replaces the file atomically.
class IniFile
{
public:
    // A missing or unreadable file reads as empty; nothing is created.
    explicit IniFile(const QString& path);

    QString ReadString(const QString& section, const QString& key, const QString& fallback) const;
    // Text that is not a whole decimal integer reads as `fallback`.
    int ReadInteger(const QString& section, const QString& key, int fallback) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);

    // Throws Exception when the file cannot be written; the old file is then intact.
    void UpdateFile() const;

    const QString& Path() const { return m_path; }

private:
    struct Range
    {
        qsizetype header = -1; // line of "[section]", -1 when absent
        qsizetype end = 0;     // one past the section's last line
    };

    Range FindSection(const QString& section) const;
    qsizetype FindKey(const Range& range, const QString& key, QString* value) const;

    QString m_path;
    QStringList m_lines;
    QString m_newline = QStringLiteral("\n");
    bool m_bom = false;
};
