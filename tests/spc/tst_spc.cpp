// Control-chart and capability arithmetic against published worked examples, and the verdict of
// a reading against a standard as a table.
#include <QtTest>
#include <algorithm>
#include <span>
#include <vector>

#include "quality/Verdict.h"
#include "spc/Spc.h"

using quality::Verdict;

namespace {
// SAS/QC User's Guide, the SHEWHART procedure, IRCHART statement, "Creating Individual Measurements
// and Moving Range Charts": the data set Jets, inner diameters (cm) of 20 jet engines in order.
// Its control limits are listed in "Saving Control Limits" (the data set Jetlim):
//   _LCLI_ 66.2290  _MEAN_ 80.39  _UCLI_ 94.5510  _LCLR_ 0  _R_ 5.32632  _UCLR_ 17.3986  _STDDEV_ 4.72032
// SAS uses the unrounded bias constants; with the tabled d2 = 1.128 and D4 = 3.267 the limits
// agree to within 0.01.
const std::vector<double> kJets = {78.4, 80.1, 84.4, 79.1, 80.4, 83.5, 73.8, 83.5, 75.0, 76.8,
                                   70.5, 80.3, 82.4, 79.4, 86.4, 90.5, 77.7, 82.5, 79.9, 83.2};

spc::ImrLimits UnitLimits()
{
    spc::ImrLimits l;
    l.valid = true;
    l.sigma = 1;
    l.ucl = 3;
    l.lcl = -3;
    return l;
}
}  // namespace

class TestSpc : public QObject {
    Q_OBJECT
private slots:
    void individualsChartOfTheJetEngineExample()
    {
        const spc::ImrLimits l = spc::IndividualsLimits(kJets);
        QVERIFY(l.valid);
        QCOMPARE_LE(std::fabs(l.centre - 80.39), 1e-9);
        QCOMPARE_LE(std::fabs(l.mrCentre - 5.32632), 1e-5);
        QCOMPARE_LE(std::fabs(l.sigma - 4.72032), 0.002);
        QCOMPARE_LE(std::fabs(l.ucl - 94.5510), 0.01);
        QCOMPARE_LE(std::fabs(l.lcl - 66.2290), 0.01);
        QCOMPARE_LE(std::fabs(l.mrUcl - 17.3986), 0.01);
        QCOMPARE(l.mrLcl, 0.0);
        // The guide: every point lies within the limits, so the process is in control.
        for (int rule = 1; rule <= 4; ++rule) QVERIFY(spc::WesternElectricRule(rule, kJets, l).empty());
        const spc::Summary s = spc::Summarise(kJets);
        QCOMPARE(s.count, std::size_t(20));
        QCOMPARE(s.min, 70.5);
        QCOMPARE(s.max, 90.5);
        QVERIFY(!spc::IndividualsLimits(std::vector<double>{1.0}).valid);
        QVERIFY(!spc::CapabilityOf(std::vector<double>{5, 5, 5}, 0, 10).valid);
        QVERIFY(!spc::CapabilityOf(kJets, 80, 80).valid);  // no tolerance to be capable of
    }

    // A run longer than the plot is drawn through each column's first, lowest, highest and last
    // value: the line still reaches every extreme, in the order taken, with a few points a column.
    void plotEnvelope_data()
    {
        QTest::addColumn<std::vector<double>>("values");
        QTest::addColumn<int>("columns");
        std::vector<double> saw(1000), spike(1000, 5.0), falling(997);
        for (std::size_t i = 0; i < saw.size(); ++i) saw[i] = static_cast<double>(i % 37);
        spike[503] = 90;
        spike[504] = -90;
        for (std::size_t i = 0; i < falling.size(); ++i) falling[i] = -static_cast<double>(i);
        QTest::newRow("short run, all drawn") << std::vector<double>{3, 1, 2, 5, 4} << 2;
        QTest::newRow("saw tooth") << saw << 10;
        QTest::newRow("one spike each way inside a column") << spike << 7;
        QTest::newRow("falling, slices of unequal length") << falling << 13;
        QTest::newRow("no columns, all drawn") << saw << 0;
    }
    void plotEnvelope()
    {
        QFETCH(std::vector<double>, values);
        QFETCH(int, columns);
        const std::size_t n = values.size(), c = static_cast<std::size_t>(columns);
        const std::vector<std::size_t> kept = spc::PlotEnvelope(values, c);
        QVERIFY(std::is_sorted(kept.begin(), kept.end()));
        QVERIFY(std::adjacent_find(kept.begin(), kept.end()) == kept.end());
        if (c == 0 || n <= 4 * c) {
            QCOMPARE(kept.size(), n);
            return;
        }
        QCOMPARE_LE(kept.size(), 4 * c);
        for (std::size_t col = 0; col < c; ++col) {
            const std::size_t first = col * n / c, end = (col + 1) * n / c;
            const auto slice = std::span<const double>(values).subspan(first, end - first);
            const auto lowest = *std::min_element(slice.begin(), slice.end());
            const auto highest = *std::max_element(slice.begin(), slice.end());
            bool low = false, high = false, ends = true;
            for (std::size_t i : {first, end - 1}) ends = ends && std::binary_search(kept.begin(), kept.end(), i);
            for (std::size_t i : kept) {
                if (i < first || i >= end) continue;
                low = low || values[i] == lowest;
                high = high || values[i] == highest;
            }
            QVERIFY2(low && high && ends, qPrintable(QStringLiteral("column %1").arg(col)));
        }
    }

    // Heizer and Render, Operations Management, "Computing the Cpk value at Cocoa Fizz": a target
    // of 16.0 +/- 0.2 oz, a process mean of 15.9 and sigma 0.1 give Cpk = 0.33 (and Cp = 0.4/0.6).
    // Cp and Pp share the ratio; they differ in their sigma, checked on the jet engines.
    void capabilityRatios()
    {
        const spc::Ratio cocoa = spc::CapabilityRatio(15.9, 0.1, 15.8, 16.2);
        QCOMPARE_LE(std::fabs(cocoa.actual - 0.33), 0.005);
        QCOMPARE_LE(std::fabs(cocoa.potential - 0.667), 0.001);
        const spc::Capability c = spc::CapabilityOf(kJets, 65, 100);
        const spc::Ratio within = spc::CapabilityRatio(80.39, 4.72032, 65, 100);
        QVERIFY(c.valid);
        QCOMPARE_LE(std::fabs(c.cp - within.potential), 0.001);
        QCOMPARE_LE(std::fabs(c.cpk - within.actual), 0.001);  // the nearer limit, 65
        const spc::Ratio overall = spc::CapabilityRatio(80.39, spc::StdDev(kJets), 65, 100);
        QCOMPARE(c.pp, overall.potential);
        QCOMPARE(c.ppk, overall.actual);
        QVERIFY(c.pp > c.cp);  // the overall spread of these engines is below the moving-range sigma
    }

    // Against limits with centre 0 and sigma 1: the points reported by each rule.
    void westernElectricRules_data()
    {
        QTest::addColumn<int>("rule");
        QTest::addColumn<std::vector<double>>("values");
        QTest::addColumn<std::vector<std::size_t>>("broken");
        using V = std::vector<double>;
        using I = std::vector<std::size_t>;
        QTest::newRow("1: beyond three sigma both sides, on it is not") << 1 << V{0, 3.1, 3.0, -3.5} << I{1, 3};
        QTest::newRow("2: two of three beyond two sigma") << 2 << V{2.5, 0, 2.1, 0} << I{2};
        QTest::newRow("2: opposite sides do not count") << 2 << V{2.5, -2.5, 0} << I{};
        QTest::newRow("2: two apart by two are out of the window") << 2 << V{2.5, 0, 0, 2.5} << I{};
        QTest::newRow("3: four of five beyond one sigma") << 3 << V{1.5, 1.5, 0, 1.5, 1.5, 1.5} << I{4, 5};
        QTest::newRow("3: three of five is not") << 3 << V{1.5, 0, 1.5, 0, 1.5} << I{};
        QTest::newRow("4: eight on one side, and each further")
            << 4 << V{0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.2} << I{7, 8};
        QTest::newRow("4: seven, then a crossing") << 4 << V{-1, 1, 1, 1, 1, 1, 1, 1, -1, 1} << I{};
        QTest::newRow("4: a point on the centre breaks the run") << 4 << V{1, 1, 1, 1, 0, 1, 1, 1, 1} << I{};
    }
    void westernElectricRules()
    {
        QFETCH(int, rule);
        QFETCH(std::vector<double>, values);
        QFETCH(std::vector<std::size_t>, broken);
        QCOMPARE(spc::WesternElectricRule(rule, values, UnitLimits()), broken);
    }

    void verdicts_data()
    {
        QTest::addColumn<bool>("judged");
        QTest::addColumn<double>("warnPercent");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("verdict");
        // Limits 80 to 90: a 10 percent band is 1 unit inside each limit.
        QTest::newRow("on the lower limit, no band") << true << 0.0 << 80.0 << "PASS";
        QTest::newRow("on the upper limit, no band") << true << 0.0 << 90.0 << "PASS";
        QTest::newRow("just outside") << true << 0.0 << 90.001 << "FAIL";
        QTest::newRow("below") << true << 10.0 << 79.9 << "FAIL";
        QTest::newRow("on the limit, in the band") << true << 10.0 << 80.0 << "WARN";
        QTest::newRow("inside the band") << true << 10.0 << 89.5 << "WARN";
        QTest::newRow("on the band's edge") << true << 10.0 << 89.0 << "PASS";
        QTest::newRow("outside the band") << true << 10.0 << 85.0 << "PASS";
        QTest::newRow("not judged") << false << 10.0 << 20.0 << "";
    }
    void verdicts()
    {
        QFETCH(bool, judged);
        QFETCH(double, warnPercent);
        QFETCH(double, value);
        QFETCH(QString, verdict);
        quality::Standard s;
        s.name = QStringLiteral("Panel");
        s.tolerances[quality::DOI] = {judged, 85, 80, 90, warnPercent};
        s.tolerances[quality::Specular] = {true, 50, 0, 100, 0};
        const quality::Judgement j = quality::Judge(&s, {50, value, 1, 1});
        QCOMPARE(quality::VerdictText(j.parameters[quality::DOI]), verdict);
        QCOMPARE(j.parameters[quality::Haze2], Verdict::None);
        // Overall is the worst judged value; the specular value passes.
        QCOMPARE(quality::VerdictText(j.overall), verdict.isEmpty() ? QStringLiteral("PASS") : verdict);
        QCOMPARE(quality::VerdictFromText(verdict), j.parameters[quality::DOI]);
        // No standard: nothing is judged.
        QCOMPARE(quality::Judge(nullptr, {50, value, 1, 1}).overall, Verdict::None);
    }

    void editorRefusesWhatCannotBeJudged_data()
    {
        QTest::addColumn<double>("target");
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<double>("warnPercent");
        QTest::addColumn<QString>("problem");
        QTest::newRow("in order") << 5.0 << 0.0 << 10.0 << 50.0 << "";
        QTest::newRow("wrong order") << 5.0 << 10.0 << 0.0 << 0.0
                                     << "DOI: The lower limit must be below the upper limit.";
        QTest::newRow("equal limits") << 5.0 << 5.0 << 5.0 << 0.0
                                      << "DOI: The lower limit must be below the upper limit.";
        QTest::newRow("target outside") << 11.0 << 0.0 << 10.0 << 0.0 << "DOI: The target must lie within the limits.";
        QTest::newRow("band too wide") << 5.0 << 0.0 << 10.0 << 51.0
                                       << "DOI: The warning band must be 0 to 50 percent.";
    }
    void editorRefusesWhatCannotBeJudged()
    {
        QFETCH(double, target);
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(double, warnPercent);
        QFETCH(QString, problem);
        quality::Standard s;
        s.name = QStringLiteral("Panel");
        s.tolerances[quality::DOI] = {true, target, lower, upper, warnPercent};
        QCOMPARE(quality::StandardProblem(s), problem);
        s.tolerances[quality::DOI].judged = false;  // a value not judged is not checked
        QCOMPARE(quality::StandardProblem(s), QString());
        s.name = QStringLiteral(" ");
        QCOMPARE(quality::StandardProblem(s), QStringLiteral("The standard needs a name."));
    }
};

QTEST_GUILESS_MAIN(TestSpc)
#include "tst_spc.moc"
