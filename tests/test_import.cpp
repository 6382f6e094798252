#include <QtTest>
class Testimport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() {}
};
QTEST_GUILESS_MAIN(Testimport)
#include "test_import.moc"
