#pragma once
// Statistics of the listed readings, one measured value at a time: count, mean, sample standard
// deviation, smallest, largest and range, kept up to date one reading at a time; and a thinned
// trace of the values in the order taken, small enough to plot at any number of readings.
#include <QPointF>
#include <QString>
#include <array>
#include <limits>
#include <utility>
#include <vector>

// One value's statistics in a single pass. Welford's update keeps the spread exact when every
// reading shares a large common part, where the sum of squares less the squared sum would
// cancel to noise.
class RunningStatistics {
public:
    void Add(double x);
    long long Count() const { return m_count; }
    double Mean() const { return m_mean; }
    // Sample standard deviation (divided by n - 1); 0 while fewer than two readings are held.
    double StdDev() const;
    double Min() const { return m_min; }
    double Max() const { return m_max; }
    double Range() const { return m_count > 0 ? m_max - m_min : 0.0; }

private:
    long long m_count = 0;
    double m_mean = 0, m_m2 = 0;
    double m_min = std::numeric_limits<double>::infinity();
    double m_max = -std::numeric_limits<double>::infinity();
};

// The columns of a statistics row, in order.
enum StatisticsColumn { StatCount, StatMean, StatStdDev, StatMin, StatMax, StatRange, StatColumnCount };
const std::array<QString, StatColumnCount>& StatisticsColumnTitles();

// The cells of one row in the number format of `digits`: the count as a plain whole number, every
// other cell "---" while no reading is held, and the standard deviation "---" below two readings.
// `meanShift` moves the mean only: Delete Selection takes the shown, rounded values out of the
// summary's averages, and the mean follows them so that both show the same digits.
std::array<QString, StatColumnCount> StatisticsTexts(const RunningStatistics& s, int digits, double meanShift = 0.0);

// The values in the order taken, for a plot a few hundred points wide: while they fit, every value;
// beyond, the smallest and largest value of each run of equal length (the run doubling as
// readings come), so the plot keeps every spike. Adding a value costs O(1) amortised.
class TrendEnvelope {
public:
    static constexpr std::size_t MaxBuckets = 512;
    void Add(double x);
    void Clear();
    long long Count() const { return m_count; }
    // (reading number from 1, value) points: one per reading while the runs are one long,
    // otherwise the smallest and the largest of each run at the run's middle.
    std::vector<QPointF> Points() const;

private:
    std::vector<std::pair<double, double>> m_buckets;  // smallest, largest
    long long m_bucketSize = 1;
    long long m_inLast = 0;
    long long m_count = 0;
};
