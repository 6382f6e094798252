#include "tools/ExclusiveHold.h"

#include "data/Sql.h"
#include "tools/CheckedCopy.h"
#include "util/Exception.h"
#include "util/Settings.h"

namespace {

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
    } catch (const Exception&) {
        // Every ride is there in either mode; a later open may set it again.
    }
}

ExclusiveHold::Refusal ExclusiveHold::Take(TZTConnection* inUse, QString& error)
{
    if (inUse)
        m_source.SetBusyTimeout(inUse->BusyTimeout());
    try {
        // Opening reads the file, so a journal left by a crash is rolled back
        // now, before anything is copied.
        m_source.Open(SettingsFile::ExpandConnectionString(m_template, m_database));
    } catch (const Exception& e) {
        error = e.Message();
        // Locked by another process for longer than the wait: the file stays as it is.
        return m_source.LastFailureWasBusy() ? Refusal::Locked : Refusal::Unreadable;
    }
    return Hold(inUse, error) ? Refusal::None : Refusal::Locked;
}

bool ExclusiveHold::Hold(TZTConnection* inUse, QString& error)
{
    try {
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
        if (CheckedCopy::InWalMode(m_source)) {
            error = QStringLiteral("another process put the database back in WAL mode");
            return false;
        }
    } catch (const Exception& e) {
        error = e.Message();
        return false;
    }
    CloseInUse(inUse);
    return true;
}

void ExclusiveHold::ReturnWalModeTo(const QString& path)
{
    if (m_leftWal)
        m_walPath = path;
}
