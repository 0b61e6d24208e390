// The readings list: its sort, its deletions and the averages that follow them.
#include <QtTest>

#include "readings/ReadingsModel.h"
#include "readings/Summary.h"

namespace {
MeterReading Make(double s, double d, double h2, double h15, const QString& cal = QStringLiteral("Std A"),
                  int second = 9)
{
    MeterReading r;
    r.Valid = true;
    r.TimeStamp = QDateTime(QDate(2002, 7, 4), QTime(14, 5, second));
    r.CalTimeStamp = r.TimeStamp.addDays(-1);
    r.SerialNo = QStringLiteral("HZ001234");
    r.SetValues(s, d, h2, h15);
    r.SetCalStd(cal);
    return r;
}
QStringList Row(const ReadingsModel& model, int position)
{
    QStringList cells;
    for (int c = 0; c < ReadingsModel::ColumnCount; ++c) cells << model.Text(position, c);
    return cells;
}
QStringList Column(const ReadingsModel& model, int column)
{
    QStringList cells;
    for (int r = 0; r < model.RowCount(); ++r) cells << model.Text(r, column);
    return cells;
}
}  // namespace

class TestReadings : public QObject {
    Q_OBJECT
private slots:
    void sortPlacesRowsAndHeaderClicksAlternate()
    {
        ReadingsModel model;
        // Start-up order: Date/Time, newest first.
        model.AddReading(Make(85, 90, 1, 3, QStringLiteral("Std A"), 9), 2, QString());
        model.AddReading(Make(100, 90, 1, 3, QStringLiteral("Std A"), 11), 2, QString());
        model.AddReading(Make(9, 90, 1, 3, QStringLiteral("Std A"), 10), 2, QString());
        QCOMPARE(Column(model, 0), QStringList({"07/04/2002 14:05:11", "07/04/2002 14:05:10", "07/04/2002 14:05:09"}));

        model.HeaderClicked(2);  // Specular ascending, compared as text
        QCOMPARE(model.SortOrder(), Qt::AscendingOrder);
        QCOMPARE(model.AddReading(Make(50, 90, 1, 3, QStringLiteral("Std A"), 12), 2, QString()), 1);
        QCOMPARE(Column(model, 1), QStringList({"100.00", "50.00", "85.00", "9.00"}));
        model.HeaderClicked(2);
        QCOMPARE(model.SortOrder(), Qt::DescendingOrder);
        QCOMPARE(model.Text(0, 1), QStringLiteral("9.00"));
        model.HeaderClicked(3);  // another column starts ascending
        QCOMPARE(model.SortKey(), 2);
        QCOMPARE(model.SortOrder(), Qt::AscendingOrder);

        // Clearing the list goes back to the start-up order; the click memory stays.
        model.ClearRows();
        QCOMPARE(model.RowCount(), 0);
        QCOMPARE(model.SortKey(), 0);
        QCOMPARE(model.SortOrder(), Qt::DescendingOrder);
        model.HeaderClicked(3);
        QCOMPARE(model.SortOrder(), Qt::DescendingOrder);
    }

    // Every column sorts as its texts compare, letter case aside, equal texts in the order taken:
    // signs, points, long numbers, cal standards and comments alike.
    void everyColumnSortsAsItsTexts()
    {
        ReadingsModel model;
        const QList<double> values = {85, -1.5, 100, 9.999, 1e20, 0.5, -0.001, -12, 85, 1234567.891};
        const QStringList cals = {"Std A", "std a", "Std B", "", "Std A"};
        const QStringList comments = {"b", "A", "a", "", "panel 10", "panel 9"};
        QList<QStringList> taken;  // each row's texts, in the order taken
        for (int i = 0; i < values.size(); ++i) {
            model.AddReading(
                Make(values[i], values[(i + 3) % values.size()], -values[i], i, cals[i % cals.size()], 59 - i), i % 4,
                comments[i % comments.size()]);
            for (int r = 0; r < model.RowCount(); ++r)
                if (model.Text(r, 0).endsWith(QString::number(59 - i))) taken << Row(model, r);
        }
        for (int column = 0; column < ReadingsModel::ColumnCount; ++column) {
            for (const bool descending : {false, true}) {
                QList<QStringList> expected = taken;
                std::stable_sort(expected.begin(), expected.end(), [&](const QStringList& a, const QStringList& b) {
                    const int c = a[column].compare(b[column], Qt::CaseInsensitive);
                    return descending ? c > 0 : c < 0;
                });
                model.SortBy(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
                QList<QStringList> shown;
                for (int r = 0; r < model.RowCount(); ++r) shown << Row(model, r);
                QCOMPARE(shown, expected);
            }
        }
    }

    void deleteSelectionKeepsAveragesConsistent()
    {
        ReadingsModel model;
        QCOMPARE(MakeSummary(model.Averages(), 2, 0).Specular, QStringLiteral("---"));
        for (double v : {10.004, 20.006, 30.0}) model.AddReading(Make(v, v, v, v), 2, QStringLiteral("  note  "));
        QCOMPARE(model.Text(0, 6), QStringLiteral("note"));
        QVERIFY(!model.Averages().HasMessage());

        // The values removed are those shown (20.01), not the meter's (20.006).
        std::vector<bool> sel(3, false);
        for (int r = 0; r < 3; ++r) sel[std::size_t(r)] = model.Text(r, 1) == QLatin1String("20.01");
        model.DeleteRows(sel);
        QCOMPARE(model.RowCount(), 2);
        QCOMPARE(model.Averages().Count(), 2L);
        QVERIFY(qAbs(model.Averages().Specular() - (10.004 + 20.006 + 30.0 - 20.01) / 2) < 1e-9);
        // The rest keep their delivered values in the order taken, and the list knows how far the
        // averages moved from them.
        QCOMPARE(model.RowTaken(0).Values[0], 10.004);
        QCOMPARE(model.RowTaken(1).Values[3], 30.0);
        QVERIFY(qAbs(model.RoundingTakenOut()[1] - (20.006 - 20.01)) < 1e-12);

        // Everything selected: the list empties and the averages are cleared.
        model.DeleteRows(std::vector<bool>(2, true));
        QCOMPARE(model.RowCount(), 0);
        QVERIFY(model.Averages().HasMessage());
        QCOMPARE(model.Averages().Count(), 0L);
        QCOMPARE(model.RoundingTakenOut()[1], 0.0);
    }

    void deleteOfOddCalStandardBringsAveragesBack()
    {
        ReadingsModel model;
        for (const char* cal : {"Std A", "Std B", "Std A"})
            model.AddReading(Make(50, 60, 1, 2, QLatin1String(cal)), 2, QString());
        QVERIFY(model.Averages().HasMessage());
        QCOMPARE(MakeSummary(model.Averages(), 2, model.RowCount()).Count, QStringLiteral("---"));
        std::vector<bool> sel(3, false);
        for (int r = 0; r < 3; ++r) sel[std::size_t(r)] = model.Text(r, 5) == QLatin1String("Std B");
        model.DeleteRows(sel);
        QVERIFY(!model.Averages().HasMessage());
        const SummaryTexts t = MakeSummary(model.Averages(), 2, model.RowCount());
        QCOMPARE(t.Specular, QStringLiteral("50.00"));
        QCOMPARE(t.Count, QStringLiteral("2"));
        // Case and blanks count when the cal standards are compared.
        model.AddReading(Make(1, 90, 1, 3, QStringLiteral("std a")), 2, QString());
        model.DeleteRows(std::vector<bool>(3, false));
        QVERIFY(model.Averages().HasMessage());
        // Cleared, the accumulator keeps nothing of its readings (a meter control's plug-in may
        // clear one as well): no serial number, cal standard, time or value, and it says so.
        model.ClearRows();
        const MeterReading& a = model.Averages();
        QVERIFY(!a.Valid && a.SerialNo.isEmpty() && a.CalStd().isEmpty());
        QVERIFY(!a.TimeStamp.isValid() && !a.CalTimeStamp.isValid());
        QCOMPARE(QList<double>({a.Specular(), a.DOI(), a.Deg2(), a.Deg15()}), QList<double>({0, 0, 0, 0}));
        QCOMPARE(a.Count(), 0);
        QCOMPARE(a.Message(), QStringLiteral("No readings"));
        // While no reading is held the message stands, whoever asks to lower it.
        MeterReading empty;
        empty.Clear();
        empty.ClearMessage();
        QVERIFY(empty.HasMessage());
    }
};

QTEST_GUILESS_MAIN(TestReadings)
#include "tst_readings.moc"
