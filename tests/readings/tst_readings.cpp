// The readings list: its sort, its deletions and the averages that follow them.
#include <QtTest>

#include "readings/ReadingsModel.h"
#include "readings/Summary.h"

namespace {
MeterReading Make(double s, double d, double h2, double h15, const QString& cal = QStringLiteral("Std A"))
{
    MeterReading r;
    r.Valid = true;
    r.TimeStamp = QDateTime(QDate(2002, 7, 4), QTime(14, 5, 9));
    r.SetValues(s, d, h2, h15);
    r.SetCalStd(cal);
    return r;
}
Reading Row(const QString& time, const QString& specular)
{
    Reading r;
    r.Cells = {time, specular, QStringLiteral("90.00"), QStringLiteral("1.00"), QStringLiteral("3.00"), QStringLiteral("Std A"), QString()};
    return r;
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
        model.AddRow(Row(QStringLiteral("07/04/2002 14:05:09"), QStringLiteral("85.00")));
        model.AddRow(Row(QStringLiteral("07/04/2002 14:05:11"), QStringLiteral("100.00")));
        model.AddRow(Row(QStringLiteral("07/04/2002 14:05:10"), QStringLiteral("9.00")));
        QCOMPARE(Column(model, 0), QStringList({"07/04/2002 14:05:11", "07/04/2002 14:05:10", "07/04/2002 14:05:09"}));

        model.HeaderClicked(2);  // Specular ascending, compared as text
        QCOMPARE(model.SortOrder(), Qt::AscendingOrder);
        QCOMPARE(model.AddRow(Row(QStringLiteral("07/04/2002 14:05:12"), QStringLiteral("50.00"))), 1);
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
        QCOMPARE(model.LastClickedColumn(), 3);
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
        for (const char* cal : {"Std A", "Std B", "Std A"}) model.AddReading(Make(50, 60, 1, 2, QLatin1String(cal)), 2, QString());
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
    }
};

QTEST_GUILESS_MAIN(TestReadings)
#include "tst_readings.moc"
