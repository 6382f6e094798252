#include <QtTest>
class Testsettings : public QObject { Q_OBJECT private Q_SLOTS: void placeholder() {} };
QTEST_GUILESS_MAIN(Testsettings)
#include "test_settings.moc"
