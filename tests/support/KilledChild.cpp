#include "KilledChild.h"

#include "TestDatabase.h"
#include "data/TZTConnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace KilledChild {

namespace {

const QByteArray Go = "go\n";

// Returns once the child has said it is about to begin.
void Start(QProcess& child, const QStringList& arguments)
{
    child.start(QCoreApplication::applicationFilePath(), arguments);
    while (!child.canReadLine())
        QVERIFY2(child.waitForReadyRead(10000), qPrintable(QString::fromUtf8(child.readAllStandardError())));
    QCOMPARE(child.readLine(), Go);
}

void WaitForEnd(QProcess& child, qint64& shortestMs)
{
    QElapsedTimer clock;
    clock.start();
    QVERIFY(child.waitForFinished(60000));
    shortestMs = std::min(shortestMs, clock.elapsed());
    QCOMPARE(child.exitCode(), 0);
}

void Kill(QProcess& child, double afterMs)
{
    QTest::qSleep(int(afterMs));
    child.kill();
    QVERIFY(child.waitForFinished(10000));
}

}

void SayGo()
{
    std::fputs(Go.constData(), stdout);
    std::fflush(stdout);
}

void Run(const Runs& runs)
{
    const std::function<double(int)> moment =
        runs.moment ? runs.moment : [kills = runs.kills](int k) { return k / (kills - 1.0); };
    qint64 runMs = std::numeric_limits<qint64>::max();
    for (int k = 1 - runs.wholeRuns; k <= runs.kills; ++k) {
        runs.prepare();
        if (QTest::currentTestFailed())
            return;
        QProcess child;
        Start(child, runs.arguments);
        if (QTest::currentTestFailed())
            return;
        if (k < 1) {
            WaitForEnd(child, runMs);
            if (!QTest::currentTestFailed() && runs.finished)
                runs.finished();
        } else {
            Kill(child, runMs * moment(k));
            if (!QTest::currentTestFailed())
                runs.killed(k);
        }
        if (QTest::currentTestFailed())
            return;
    }
}

void StoresAllOrNothing(const QStringList& arguments, const QString& path, const QString& pristine, int rides)
{
    const QString sums = QStringLiteral("SELECT count(*) || ' ' || total(KM) FROM Uscite");
    const QString none = TestDatabase::Scalar(pristine, sums);
    QString all;
    int sawNone = 0;

    Runs runs;
    runs.arguments = arguments;
    runs.prepare = [&] {
        QVERIFY(QFile::remove(path));
        QFile::remove(path + QStringLiteral("-journal"));
        QVERIFY(QFile::copy(pristine, path));
    };
    // Two whole runs: what "all" looks like, and how long a run takes with
    // the files cached. The last kills land around the commit.
    runs.wholeRuns = 2;
    runs.kills = 14;
    runs.moment = [kills = runs.kills](int k) {
        return k <= kills - 3 ? k / double(kills - 2) : 0.94 + 0.03 * (k - kills + 3);
    };
    runs.finished = [&] {
        all = TestDatabase::Scalar(path, sums);
        QCOMPARE(all.section(u' ', 0, 0), QString::number(rides));
    };
    runs.killed = [&](int k) {
        // Opening rolls back whatever the killed run left half done.
        TZTConnection().Open(TestDatabase::ConnectionStringFor(path));
        QCOMPARE(TestDatabase::Scalar(path, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        const QString found = TestDatabase::Scalar(path, sums);
        QVERIFY2(found == none || found == all, qPrintable(QStringLiteral("kill %1: %2").arg(k).arg(found)));
        sawNone += found == none;
    };
    Run(runs);
    if (QTest::currentTestFailed())
        return;
    // A run that always finished first tests nothing.
    QVERIFY2(sawNone >= runs.kills / 3,
             qPrintable(QStringLiteral("%1 of %2 kills found no rides").arg(sawNone).arg(runs.kills)));
}

}
