#include <QtTest>
class Teste2e : public QObject { Q_OBJECT private Q_SLOTS: void placeholder() {} };
QTEST_GUILESS_MAIN(Teste2e)
#include "test_e2e.moc"
