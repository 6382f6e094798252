#pragma once

#include "TestDatabase.h"
#include "data/TZTConnection.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

// A ride database in the test's temporary folder, made anew and opened on m_connection by RenewDatabase().
class FreshDatabase
{
protected:
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<TZTConnection> m_connection;

    // Why the database could not be made, or nothing.
    QString RenewDatabase()
    {
        m_path = m_dir.filePath(QStringLiteral("rides.mdb"));
        QFile::remove(m_path);
        const QString error = m_dir.isValid() ? TestDatabase::Create(m_path) : m_dir.errorString();
        m_connection = std::make_unique<TZTConnection>();
        if (error.isEmpty())
            m_connection->Open(TestDatabase::ConnectionStringFor(m_path));
        return error;
    }
};
