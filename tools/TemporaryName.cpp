#include "tools/TemporaryName.h"

#include <QFile>

TemporaryName::TemporaryName(QString path, QStringList companions)
    : m_path(std::move(path)), m_companions(std::move(companions))
{
}

TemporaryName::~TemporaryName()
{
    if (!m_kept)
        QFile::remove(m_path);
    RemoveCompanions();
}

void TemporaryName::RemoveLeftovers() const
{
    QFile::remove(m_path);
    RemoveCompanions();
}

void TemporaryName::RemoveCompanions() const
{
    for (const QString& companion : m_companions)
        QFile::remove(companion);
}

QStringList TemporaryName::SqliteCompanions(const QString& path)
{
    return {path + QStringLiteral("-journal"), path + QStringLiteral("-wal"), path + QStringLiteral("-shm")};
}
