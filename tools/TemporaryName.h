#pragma once

#include <QString>
#include <QStringList>

// A work file of one run, removed when the scope ends unless it was kept, and
// always the files SQLite made beside it: they belong to no database later.
class TemporaryName
{
public:
    explicit TemporaryName(QString path, QStringList companions = {});
    ~TemporaryName();
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;

    const QString& path() const { return m_path; }
    void Keep() { m_kept = true; }
    // What an interrupted run left under these names.
    void RemoveLeftovers() const;

    // The files SQLite may make beside a database: a copy that fails part
    // way leaves its journal, for one.
    static QStringList SqliteCompanions(const QString& path);

private:
    void RemoveCompanions() const;

    QString m_path;
    QStringList m_companions;
    bool m_kept = false;
};
