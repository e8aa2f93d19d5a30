#include "foundation/zvector.h"

#include <QtTest>

#include <type_traits>

namespace {

// Opens the capacity to the tests.
class Probe : public ZVector<int*>
{
public:
    using ZVector<int*>::ZVector;
    int capacityNow() const { return capacity; }
};

} // namespace

static_assert(std::has_virtual_destructor<ZVector<int*>>::value,
              "derived vectors are deleted through the base");

class Tst_zvector : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void appendReturnsIndexAndDoublesWhenFull();
    void removeAtShiftsOrIgnoresOutOfRange_data();
    void removeAtShiftsOrIgnoresOutOfRange();
    void sortOrdersByAddress();

private:
    int items[6] = {};
};

void Tst_zvector::appendReturnsIndexAndDoublesWhenFull()
{
    QCOMPARE(Probe(0).capacityNow(), 4);
    QCOMPARE(Probe(-3).capacityNow(), 4);

    Probe v(1);
    QCOMPARE(v.append(&items[0]), 0);
    QCOMPARE(v.capacityNow(), 1);
    QCOMPARE(v.append(&items[1]), 1);
    QCOMPARE(v.capacityNow(), 2);
    QCOMPARE(v.append(&items[2]), 2);
    QCOMPARE(v.capacityNow(), 4);
    QCOMPARE(v.append(&items[3]), 3);
    QCOMPARE(v.append(&items[4]), 4);
    QCOMPARE(v.capacityNow(), 8);
    QCOMPARE(v.size(), 5);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(v.get(i), &items[i]);
    }
}

void Tst_zvector::removeAtShiftsOrIgnoresOutOfRange_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QVector<int>>("remaining");

    QTest::newRow("first") << 0 << QVector<int> {1, 2, 3};
    QTest::newRow("middle") << 2 << QVector<int> {0, 1, 3};
    QTest::newRow("last") << 3 << QVector<int> {0, 1, 2};
    QTest::newRow("negative") << -1 << QVector<int> {0, 1, 2, 3};
    QTest::newRow("atCount") << 4 << QVector<int> {0, 1, 2, 3};
    QTest::newRow("pastCapacity") << 100 << QVector<int> {0, 1, 2, 3};
}

void Tst_zvector::removeAtShiftsOrIgnoresOutOfRange()
{
    QFETCH(int, index);
    QFETCH(QVector<int>, remaining);

    ZVector<int*> v(8);
    for (int i = 0; i < 4; ++i) {
        v.append(&items[i]);
    }
    v.removeAt(index);
    QCOMPARE(v.size(), remaining.size());
    for (int i = 0; i < remaining.size(); ++i) {
        QCOMPARE(v.get(i), &items[remaining.at(i)]);
    }
}

void Tst_zvector::sortOrdersByAddress()
{
    ZVector<int*> v(2);
    for (int i : {4, 1, 5, 0, 3, 1, 2}) {
        v.append(&items[i]);
    }
    v.sort();
    const int expected[] = {0, 1, 1, 2, 3, 4, 5};
    QCOMPARE(v.size(), 7);
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(v.get(i), &items[expected[i]]);
    }
}

QTEST_GUILESS_MAIN(Tst_zvector)
#include "tst_zvector.moc"
