#include <QtTest>

class Tst_app_shared : public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(Tst_app_shared)
#include "tst_app_shared.moc"
