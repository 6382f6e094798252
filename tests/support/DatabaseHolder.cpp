#include "DatabaseHolder.h"

#include "TestDatabase.h"
#include "data/Rides.h"
#include "data/TZTConnection.h"
#include "util/Exception.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <sqlite3.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace DatabaseHolder {

bool Start(QProcess& holder, const QString& path, const QString& hold, int releaseMs)
{
    holder.start(QCoreApplication::applicationFilePath(), {Switch, path, hold, QString::number(releaseMs)});
    while (!holder.canReadLine())
        if (!holder.waitForReadyRead(10000))
            return false;
    return holder.readLine() == "held\n";
}

InProcess::InProcess(const QString& path, const QString& hold)
{
    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    m_db = {db, &sqlite3_close}; // closing ends the transaction and lets go of every lock
    const char* sql = hold == u"write" ? "BEGIN IMMEDIATE" : "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE";
    m_holds = opened == SQLITE_OK && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

int Main(int argc, char* argv[])
{
    if (argc != 5)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[2]);
    const QString hold = QString::fromLocal8Bit(argv[3]);
    const int releaseMs = std::atoi(argv[4]);
    try {
        TZTConnection connection;
        connection.SetBusyTimeout(30000);
        connection.Open(TestDatabase::ConnectionStringFor(path));
        if (hold == u"write") {
            connection.Execute(QStringLiteral("BEGIN IMMEDIATE"));
            Rides::Add(connection, {2005, 3, {20, 0, 7.0, {}, Ride}});
        } else if (hold == u"read") {
            connection.Execute(QStringLiteral("BEGIN"));
            connection.Execute(QStringLiteral("SELECT count(*) FROM Uscite"));
        } else if (hold == u"exclusive") {
            connection.Execute(QStringLiteral("BEGIN EXCLUSIVE"));
        }
        std::puts("held");
        std::fflush(stdout);
        if (releaseMs < 0) {
            std::string line;
            std::getline(std::cin, line);
        } else {
            QThread::msleep(releaseMs);
        }
        if (hold != u"open")
            connection.Execute(QStringLiteral("COMMIT"));
        std::puts("released");
        return 0;
    } catch (const Exception& e) {
        std::printf("failed: %s\n", qPrintable(e.Message()));
        return 1;
    }
}

}
