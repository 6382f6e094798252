#pragma once

#include "data/Rides.h"
#include "data/TZTConnection.h"
#include "TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

// A test's temporary folder with a program folder in it whose log is made
// anew for each test function and opened on first use.
class ProgramLog
{
protected:
    QTemporaryDir m_dir;
    QString m_program;
    QString m_path; // the log
    std::unique_ptr<TZTConnection> m_connection;

    QString File(const QString& name) const { return m_dir.filePath(name); }

    // An empty folder `name` in the temporary folder.
    QString Folder(const QString& name) const
    {
        const QString folder = File(name);
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        return folder;
    }

    // A home of the test's own in the temporary folder, with the documents
    // folder the file dialogs propose; whether it is in place.
    bool MakeHome() const
    {
        const QString home = File(QStringLiteral("home"));
        qputenv("HOME", QFile::encodeName(home));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return documents.startsWith(home) && QDir().mkpath(documents);
    }

    TZTConnection& Connection()
    {
        if (!m_connection) {
            m_connection = std::make_unique<TZTConnection>();
            m_connection->Open(TestDatabase::ConnectionStringFor(m_path));
        }
        return *m_connection;
    }

    // Every ride of the log in `connection`, as the rides module reads them.
    static QList<Rides::Ride> AllRides(TZTConnection& connection)
    {
        QList<Rides::Ride> rides;
        Rides::ForEach(connection, [&](const Rides::Ride& ride) { rides.append(ride); });
        return rides;
    }

    // The program folder emptied and given a new log; why not, or nothing.
    QString RenewProgramFolder()
    {
        m_connection.reset();
        m_program = Folder(QStringLiteral("program"));
        m_path = QDir(m_program).filePath(QStringLiteral("kilovento.mdb"));
        return TestDatabase::CreateProgramFolder(m_program);
    }
};
