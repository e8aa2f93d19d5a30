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
    void appendReturnsIndexDoublesWhenFullAndSortOrdersByAddress();
    void removeAtShiftsOrIgnoresOutOfRange_data();
    void removeAtShiftsOrIgnoresOutOfRange();

private:
    /// The vector's items as indexes into items.
    QVector<int> contents(const ZVector<int*>& v) const
    {
        QVector<int> indexes;
        for (int i = 0; i < v.size(); ++i)
            indexes << int(v.get(i) - items);
        return indexes;
    }

    int items[6] = {};
};

void Tst_zvector::appendReturnsIndexDoublesWhenFullAndSortOrdersByAddress()
{
    QCOMPARE(Probe(0).capacityNow(), 4);
    QCOMPARE(Probe(-3).capacityNow(), 4);

    Probe v(1);
    QVector<int> capacities;
    for (int i : {4, 1, 5, 0, 3, 1, 2}) {
        QCOMPARE(v.append(&items[i]), capacities.size());
        capacities << v.capacityNow();
    }
    QCOMPARE(capacities, QVector<int>({1, 2, 4, 4, 8, 8, 8}));
    QCOMPARE(contents(v), QVector<int>({4, 1, 5, 0, 3, 1, 2}));
    v.sort();
    QCOMPARE(contents(v), QVector<int>({0, 1, 1, 2, 3, 4, 5}));
}

void Tst_zvector::removeAtShiftsOrIgnoresOutOfRange_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QVector<int>>("remaining");

    QTest::newRow("first") << 0 << QVector<int> {1, 2, 3};
    QTest::newRow("last") << 3 << QVector<int> {0, 1, 2};
    QTest::newRow("negative") << -1 << QVector<int> {0, 1, 2, 3};
    QTest::newRow("atCount") << 4 << QVector<int> {0, 1, 2, 3};
}

void Tst_zvector::removeAtShiftsOrIgnoresOutOfRange()
{
    QFETCH(int, index);
    QFETCH(QVector<int>, remaining);

    ZVector<int*> v(8);
    for (int i = 0; i < 4; ++i)
        v.append(&items[i]);
    v.removeAt(index);
    QCOMPARE(contents(v), remaining);
}

QTEST_GUILESS_MAIN(Tst_zvector)
#include "tst_zvector.moc"
