// The meter control contract's own logic: the running accumulator of accepted readings.
#include <QTest>

#include "vantrel/MeterReading.h"

class TestVantrel : public QObject {
    Q_OBJECT

private slots:
    void accumulatorFollowsItsContract()
    {
        MeterReading acc;
        acc.Clear();
        QVERIFY(acc.HasMessage());
        QCOMPARE(acc.Count(), 0L);

        MeterReading a, b;
        a.SetValues(10, 20, 30, 40);
        a.SetCalStd(QStringLiteral("Black Glass"));
        b.SetValues(20, 40, 50, 60);
        b.SetCalStd(QStringLiteral("Mid Gloss"));
        acc.Add(a);
        QVERIFY(!acc.HasMessage());
        QCOMPARE(acc.CalStd(), QStringLiteral("Black Glass"));
        acc.Add(b);
        QVERIFY(acc.HasMessage());
        QCOMPARE(acc.Specular(), 15.0);
        QCOMPARE(acc.Deg15(), 50.0);

        acc.Remove(20, 40, 50, 60);
        QCOMPARE(acc.DOI(), 20.0);
        acc.ClearMessage();
        QVERIFY(!acc.HasMessage());
        acc.Remove(10, 20, 30, 40);
        QVERIFY(acc.HasMessage());
        QCOMPARE(acc.Count(), 0L);
        QCOMPARE(acc.Deg2(), 0.0);
        acc.ClearMessage();   // nothing held: the averages stay hidden
        QVERIFY(acc.HasMessage());
    }
};

QTEST_MAIN(TestVantrel)
#include "tst_vantrel.moc"
