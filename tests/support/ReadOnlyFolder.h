#pragma once

#include <QString>

// A folder in which no file can be made, renamed or removed, for as long as
// this lives. Root ignores permissions, so it gets the immutable attribute.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString& path);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    bool done() const { return m_done; }

private:
    bool SetImmutable(bool on);

    QString m_path;
    bool m_done = false;
};
