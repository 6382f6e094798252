#include <QtTest>
class Teststartup : public QObject { Q_OBJECT private Q_SLOTS: void placeholder() {} };
QTEST_GUILESS_MAIN(Teststartup)
#include "test_startup.moc"
