#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Fault tests with real processes: the test executable started again as a
// child that says "go" just before its work, killed with SIGKILL at moments
// spread over a run, and what it worked on checked after every kill.
namespace KilledChild {

// The child's side: called just before the work that is to be killed.
void SayGo();

struct Runs
{
    QStringList arguments;         // the child's, its switch first
    std::function<void()> prepare; // before every run: the files as they were
    int wholeRuns = 1;             // run to their end first and timed; the shortest counts
    int kills = 0;
    // When kill k (1 to kills) lands, as a share of a whole run; when empty,
    // spread evenly, the last ones at or after the end.
    std::function<double(int k)> moment;
    std::function<void()> finished;    // checks after each whole run, which must exit with 0
    std::function<void(int k)> killed; // checks after kill k
};

// Whole runs, then the kills. A failure is reported through QtTest and ends
// the runs; the caller checks QTest::currentTestFailed() before going on.
void Run(const Runs& runs);

// For a child that stores rides into the database at `path` in one
// transaction, each run on a fresh copy of `pristine`: after every kill the
// database is sound and holds what `pristine` holds or what a whole run left,
// `rides` rides in all; and most kills must land before the commit.
void StoresAllOrNothing(const QStringList& arguments, const QString& path, const QString& pristine, int rides);

}
