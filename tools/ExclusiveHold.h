#pragma once

#include "data/TZTConnection.h"

#include <QString>

// The ride database taken for one connection alone, from before a copy of it
// is made until the copy has taken its place or the work is given up: no
// other process can read or write it meanwhile, so nothing another one
// commits can miss the copy or land in the old file after a rename.
//
// A WAL log and index are found by the database's name, so after a rename
// they would be applied to the new file. The database therefore leaves WAL
// mode for the hold, which needs every other connection closed: it is
// refused at once while another process has the file open. When the hold
// ends, WAL mode goes back to the file that then holds the old database.
class ExclusiveHold
{
public:
    ExclusiveHold(QString connectionTemplate, QString database);
    ~ExclusiveHold();
    ExclusiveHold(const ExclusiveHold&) = delete;
    ExclusiveHold& operator=(const ExclusiveHold&) = delete;

    // Opens the database and takes it. A transaction of another process
    // first ends (waited for up to the busy timeout of `inUse`, else the
    // default one), and none starts before the hold ends. `inUse`, the
    // caller's own connection, is closed once the database is held (for WAL
    // mode, as soon as that mode is seen). Throws Exception with Why::Refused
    // when another process has the database or it cannot be taken alone: then
    // `inUse` stays open unless WAL mode was seen, and nothing has changed.
    // A database that does not open as a ride database throws the
    // connection's failure (Why::Failed, Why::OtherShape).
    void Take(TZTConnection* inUse);

    // The holding connection: the one way to read the database meanwhile.
    TZTConnection& Connection() { return m_source; }
    bool LeftWalMode() const { return m_leftWal; }
    // The old database now lies at `path`: it gets WAL mode back there. An
    // empty path: nothing is to get it back.
    void ReturnWalModeTo(const QString& path);

private:
    void Hold(TZTConnection* inUse);

    QString m_template;
    QString m_database;
    QString m_walPath;
    bool m_leftWal = false;
    TZTConnection m_source;
};
