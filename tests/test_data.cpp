#include <QtTest>
class Testdata : public QObject { Q_OBJECT private Q_SLOTS: void placeholder() {} };
QTEST_GUILESS_MAIN(Testdata)
#include "test_data.moc"
