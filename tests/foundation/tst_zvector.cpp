#include <QtTest>

class Tst_zvector : public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(Tst_zvector)
#include "tst_zvector.moc"
