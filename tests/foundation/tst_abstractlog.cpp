#include <QtTest>

class Tst_abstractlog : public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(Tst_abstractlog)
#include "tst_abstractlog.moc"
