#include <QtTest>

class Tst_z4utils : public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(Tst_z4utils)
#include "tst_z4utils.moc"
