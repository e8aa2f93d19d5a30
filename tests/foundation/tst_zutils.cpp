#include <QtTest>

class Tst_zutils : public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(Tst_zutils)
#include "tst_zutils.moc"
