#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A settings file of "[section]" headers and "key=value" lines, read and
// written like the classic profile routines: sections and keys match without
// regard to case, values are trimmed (and lose one pair of enclosing quotes),
// and writing keeps every line it does not change byte for byte, comments
// included. The file is UTF-8 when its bytes are valid UTF-8 and Windows
// text (code page 1252) otherwise; a changed line is written the same way.
// Changes stay in memory until UpdateFile().
class IniFile
{
public:
    // A missing or unreadable file reads as empty; nothing is created.
    explicit IniFile(const QString& path);

    // Why a file that is there could not be read ("permesso negato (EACCES)",
    // say); empty when it was read or is missing.
    const QString& ReadError() const { return m_readError; }

    QString ReadString(const QString& section, const QString& key, const QString& fallback) const;
    // Text that is not a whole decimal integer reads as `fallback`.
    int ReadInteger(const QString& section, const QString& key, int fallback) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);

    // Replaces the file atomically, or writes it in place when its folder
    // allows no new file. Throws Exception when the file cannot be written,
    // and also when it exists but could not be read: rewriting it would lose
    // what it holds.
    void UpdateFile() const;

    const QString& Path() const { return m_path; }

private:
    enum class Encoding { Utf8, Windows1252 };

    struct Line
    {
        QString text;
        QByteArray bytes;     // as read, without the line end
        QByteArray end;       // as read, empty for a last line without one
        bool changed = false; // written from `text`, not `bytes`
    };

    struct Range
    {
        qsizetype header = -1; // line of "[section]", -1 when absent
        qsizetype end = 0;     // one past the section's last line
    };

    void Load(const QByteArray& data);
    Range FindSection(const QString& section) const;
    qsizetype FindKey(const Range& range, const QString& key, QString* value) const;
    void Insert(qsizetype at, const QString& text);
    QByteArray Encode(const QString& text) const;
    void WriteAtomically(const QByteArray& data) const;
    void WriteInPlace(const QByteArray& data) const;

    QString m_path;
    QList<Line> m_lines;
    QByteArray m_newline = "\n";
    bool m_bom = false;
    QString m_readError;
    Encoding m_encoding = Encoding::Utf8;
};
