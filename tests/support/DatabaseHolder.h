#pragma once

#include <QString>

#include <memory>

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

// A connection in this process holding `path` while it lives: "exclusive"
// keeps every other connection out, "write" the other writers.
class InProcess
{
public:
    InProcess(const QString& path, const QString& hold);
    bool Holds() const { return m_holds; }

private:
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> m_db{nullptr, nullptr};
    bool m_holds = false;
};

// The holder's side; its last line says how it went ("released" or "failed: ...").
int Main(int argc, char* argv[]);

}
