#pragma once

#include "TestDatabase.h"
#include "data/TZTConnection.h"
#include "util/Exception.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

// A test's temporary folder with a ride database in it, made anew for each
// test function and open on m_connection.
class FreshDatabase
{
protected:
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<TZTConnection> m_connection;

    // Why the database could not be made and opened, or nothing.
    QString RenewDatabase()
    {
        m_connection.reset();
        if (!m_dir.isValid())
            return m_dir.errorString();
        m_path = m_dir.filePath(QStringLiteral("rides.mdb"));
        QFile::remove(m_path);
        if (QString error = TestDatabase::Create(m_path); !error.isEmpty())
            return error;
        m_connection = std::make_unique<TZTConnection>();
        try {
            m_connection->Open(TestDatabase::ConnectionStringFor(m_path));
        } catch (const Exception& e) {
            return e.Message();
        }
        return QString();
    }
};
