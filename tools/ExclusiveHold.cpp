#include "tools/ExclusiveHold.h"

#include "data/Sql.h"
#include "tools/CheckedCopy.h"
#include "util/Exception.h"
#include "util/Settings.h"

#include <QtGlobal>

namespace {

[[noreturn]] void Refuse(const Exception& e)
{
    throw Exception(e.Message(), Exception::Why::Refused, e.Detail());
}

void CloseInUse(TZTConnection* inUse)
{
    if (inUse)
        inUse->Close();
}

}

ExclusiveHold::ExclusiveHold(QString connectionTemplate, QString database)
    : m_template(std::move(connectionTemplate)), m_database(std::move(database))
{
}

ExclusiveHold::~ExclusiveHold()
{
    m_source.Close();
    if (m_walPath.isEmpty())
        return;
    try {
        CheckedCopy::UseWriteAheadLog(SettingsFile::ExpandConnectionString(m_template, m_walPath));
    } catch (const Exception& e) {
        // The work has ended, and every ride is there in either mode: the
        // file keeps the rollback journal, and only whoever debugs hears of it.
        qWarning("WAL mode not given back to '%s': %s", qUtf8Printable(m_walPath), qUtf8Printable(e.Detail()));
    }
}

void ExclusiveHold::Take(TZTConnection* inUse)
{
    if (inUse)
        m_source.SetBusyTimeout(inUse->BusyTimeout());
    try {
        // Opening reads the file, so a journal left by a crash is rolled back
        // now, before anything is copied.
        m_source.Open(SettingsFile::ExpandConnectionString(m_template, m_database));
    } catch (const Exception& e) {
        // Locked by another process for longer than the wait: the file stays as it is.
        if (e.Reason() != Exception::Why::Busy)
            throw;
        Refuse(e);
    }
    try {
        Hold(inUse);
    } catch (const Exception& e) {
        Refuse(e);
    }
}

void ExclusiveHold::Hold(TZTConnection* inUse)
{
    if (CheckedCopy::InWalMode(m_source)) {
        CloseInUse(inUse);
        m_source.Execute(Sql::UseRollbackJournal());
        m_leftWal = true;
        m_walPath = m_database;
    }
    // The wait for other transactions (the busy timeout) happens with no
    // lock kept between tries, so that they can end; from then on the
    // locks stay. Nothing is written on this connection, so it never has
    // a journal of its own that it might remove by name later.
    m_source.Execute(Sql::BeginExclusiveTransaction());
    m_source.Execute(Sql::KeepLocksUntilClosed());
    m_source.Execute(Sql::CommitTransaction());
    if (CheckedCopy::InWalMode(m_source))
        throw Exception(QStringLiteral("another process put the database back in WAL mode"), Exception::Why::Refused);
    CloseInUse(inUse);
}

void ExclusiveHold::ReturnWalModeTo(const QString& path)
{
    if (m_leftWal)
        m_walPath = path;
}
