#pragma once

#include <QString>

class QProcess;
struct sqlite3;

// Another process on a test database, for the concurrency tests: the test
// executable started again with `Switch`, whose main() hands over to Main().
namespace DatabaseHolder {

inline const QString Switch = QStringLiteral("--holder-child");
// The description of the ride a "write" holder commits.
inline const QString Ride = QStringLiteral("scritta da un altro processo");

// Starts the holder of `path`: it takes the database as `hold` says ("write"
// a ride of its own, "read", "exclusive", or "open" it only), says "held",
// and lets go after `releaseMs`, or for -1 when a line comes on its input.
// Returns once it holds the database; false when it failed to.
bool Start(QProcess& holder, const QString& path, const QString& hold, int releaseMs = -1);

// A second connection in this process holding `path` for as long as it
// lives: "exclusive" keeps every other connection out, "write" the writers.
class InProcess
{
public:
    InProcess(const QString& path, const QString& hold);
    ~InProcess();
    InProcess(const InProcess&) = delete;
    InProcess& operator=(const InProcess&) = delete;
    bool Holds() const { return m_holds; }

private:
    sqlite3* m_db = nullptr;
    bool m_holds = false;
};

// The holder's side; its last line says how it went ("released" or "failed: ...").
int Main(int argc, char* argv[]);

}
