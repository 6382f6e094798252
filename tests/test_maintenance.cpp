#include <QtTest>
class Testmaintenance : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() {}
};
QTEST_MAIN(Testmaintenance)
#include "test_maintenance.moc"
