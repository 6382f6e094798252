#include <QtTest>
class Testutil : public QObject { Q_OBJECT private Q_SLOTS: void placeholder() {} };
QTEST_GUILESS_MAIN(Testutil)
#include "test_util.moc"
