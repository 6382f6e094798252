#include <QtTest>
class Testdialogs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() {}
};
QTEST_MAIN(Testdialogs)
#include "test_dialogs.moc"
