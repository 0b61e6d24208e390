#include "dataviews/ReadingStatistics.h"

#include <algorithm>
#include <cmath>

#include "support/Numbers.h"

void RunningStatistics::Add(double x)
{
    ++m_count;
    const double delta = x - m_mean;
    m_mean += delta / static_cast<double>(m_count);
    m_m2 += delta * (x - m_mean);
    m_min = std::min(m_min, x);
    m_max = std::max(m_max, x);
}

double RunningStatistics::StdDev() const
{
    if (m_count < 2) return 0.0;
    return std::sqrt(std::max(0.0, m_m2 / static_cast<double>(m_count - 1)));
}

const std::array<QString, StatColumnCount>& StatisticsColumnTitles()
{
    static const std::array<QString, StatColumnCount> titles = {QStringLiteral("Count"),   QStringLiteral("Mean"),
                                                                QStringLiteral("Std Dev"), QStringLiteral("Min"),
                                                                QStringLiteral("Max"),     QStringLiteral("Range")};
    return titles;
}

std::array<QString, StatColumnCount> StatisticsTexts(const RunningStatistics& s, int digits, double meanShift)
{
    const QString none = QStringLiteral("---");
    std::array<QString, StatColumnCount> t;
    t.fill(none);
    t[StatCount] = QString::number(s.Count());
    if (s.Count() == 0) return t;
    t[StatMean] = support::FormatValue(s.Mean() + meanShift, digits);
    if (s.Count() >= 2) t[StatStdDev] = support::FormatValue(s.StdDev(), digits);
    t[StatMin] = support::FormatValue(s.Min(), digits);
    t[StatMax] = support::FormatValue(s.Max(), digits);
    t[StatRange] = support::FormatValue(s.Range(), digits);
    return t;
}

void TrendEnvelope::Add(double x)
{
    ++m_count;
    if (!m_buckets.empty() && m_inLast < m_bucketSize) {
        auto& last = m_buckets.back();
        last.first = std::min(last.first, x);
        last.second = std::max(last.second, x);
        ++m_inLast;
        return;
    }
    if (m_buckets.size() == MaxBuckets) {
        // Every run is full: join neighbours, halving the runs and doubling their length.
        for (std::size_t i = 0; i < MaxBuckets / 2; ++i) {
            const auto& a = m_buckets[2 * i];
            const auto& b = m_buckets[2 * i + 1];
            m_buckets[i] = {std::min(a.first, b.first), std::max(a.second, b.second)};
        }
        m_buckets.resize(MaxBuckets / 2);
        m_bucketSize *= 2;
    }
    m_buckets.emplace_back(x, x);
    m_inLast = 1;
}

void TrendEnvelope::Clear()
{
    m_buckets.clear();
    m_bucketSize = 1;
    m_inLast = 0;
    m_count = 0;
}

std::vector<QPointF> TrendEnvelope::Points() const
{
    std::vector<QPointF> points;
    points.reserve(m_buckets.size() * (m_bucketSize == 1 ? 1 : 2));
    for (std::size_t i = 0; i < m_buckets.size(); ++i) {
        const double first = static_cast<double>(i) * static_cast<double>(m_bucketSize) + 1.0;
        if (m_bucketSize == 1) {
            points.emplace_back(first, m_buckets[i].first);
            continue;
        }
        const double length =
            i + 1 == m_buckets.size() ? static_cast<double>(m_inLast) : static_cast<double>(m_bucketSize);
        const double middle = first + (length - 1.0) / 2.0;
        points.emplace_back(middle, m_buckets[i].first);
        points.emplace_back(middle, m_buckets[i].second);
    }
    return points;
}
