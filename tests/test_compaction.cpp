#include <QtTest>
class Testcompaction : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() {}
};
QTEST_GUILESS_MAIN(Testcompaction)
#include "test_compaction.moc"
