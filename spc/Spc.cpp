#include "spc/Spc.h"

#include <algorithm>
#include <cmath>

namespace spc {

double Mean(std::span<const double> values)
{
    if (values.empty()) return 0;
    double sum = 0;
    for (double v : values) sum += v;
    return sum / static_cast<double>(values.size());
}

double StdDev(std::span<const double> values)
{
    if (values.size() < 2) return 0;
    const double mean = Mean(values);
    double squares = 0;
    for (double v : values) squares += (v - mean) * (v - mean);
    return std::sqrt(squares / static_cast<double>(values.size() - 1));
}

Summary Summarise(std::span<const double> values)
{
    Summary s;
    s.count = values.size();
    if (values.empty()) return s;
    s.mean = Mean(values);
    s.stdDev = StdDev(values);
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    s.min = *lo;
    s.max = *hi;
    return s;
}

std::vector<double> MovingRanges(std::span<const double> values)
{
    std::vector<double> ranges;
    if (values.size() < 2) return ranges;
    ranges.reserve(values.size() - 1);
    for (std::size_t i = 1; i < values.size(); ++i) ranges.push_back(std::fabs(values[i] - values[i - 1]));
    return ranges;
}

std::vector<std::size_t> PlotEnvelope(std::span<const double> values, std::size_t columns)
{
    std::vector<std::size_t> kept;
    const std::size_t n = values.size();
    if (columns == 0 || n <= 4 * columns) {
        kept.resize(n);
        for (std::size_t i = 0; i < n; ++i) kept[i] = i;
        return kept;
    }
    kept.reserve(4 * columns);
    for (std::size_t c = 0; c < columns; ++c) {
        const std::size_t first = c * n / columns, end = (c + 1) * n / columns;
        std::size_t low = first, high = first;
        for (std::size_t i = first + 1; i < end; ++i) {
            if (values[i] < values[low]) low = i;
            if (values[i] > values[high]) high = i;
        }
        // first <= min(low, high) <= max(low, high) <= end - 1; repeats are dropped.
        for (std::size_t i : {first, std::min(low, high), std::max(low, high), end - 1})
            if (kept.empty() || kept.back() != i) kept.push_back(i);
    }
    return kept;
}

ImrLimits IndividualsLimits(std::span<const double> baseline)
{
    ImrLimits l;
    if (baseline.size() < 2) return l;
    double rangeSum = 0;
    for (std::size_t i = 1; i < baseline.size(); ++i) rangeSum += std::fabs(baseline[i] - baseline[i - 1]);
    l.valid = true;
    l.centre = Mean(baseline);
    l.mrCentre = rangeSum / static_cast<double>(baseline.size() - 1);
    l.sigma = l.mrCentre / kD2;
    l.ucl = l.centre + 3 * l.sigma;
    l.lcl = l.centre - 3 * l.sigma;
    l.mrUcl = kD4 * l.mrCentre;
    l.mrLcl = 0;
    return l;
}

namespace {

// Side of the centre a value lies beyond `zones` sigmas: +1 above, -1 below, 0 neither.
int SideBeyond(double value, const ImrLimits& l, double zones)
{
    if (value > l.centre + zones * l.sigma) return 1;
    if (value < l.centre - zones * l.sigma) return -1;
    return 0;
}

// Points i where at least `needed` of the `window` values ending at i lie beyond `zones` sigmas
// on the side of x[i], and x[i] is one of them.
std::vector<std::size_t> CountInWindow(std::span<const double> x, const ImrLimits& l, double zones, std::size_t window,
                                       std::size_t needed)
{
    std::vector<std::size_t> hits;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const int side = SideBeyond(x[i], l, zones);
        if (side == 0 || i + 1 < needed) continue;
        const std::size_t first = i + 1 >= window ? i + 1 - window : 0;
        std::size_t count = 0;
        for (std::size_t j = first; j <= i; ++j) count += SideBeyond(x[j], l, zones) == side ? 1 : 0;
        if (count >= needed) hits.push_back(i);
    }
    return hits;
}

}  // namespace

std::vector<std::size_t> WesternElectricRule(int rule, std::span<const double> x, const ImrLimits& l)
{
    if (!l.valid) return {};
    switch (rule) {
    case 1: return CountInWindow(x, l, 3, 1, 1);
    case 2: return CountInWindow(x, l, 2, 3, 2);
    case 3: return CountInWindow(x, l, 1, 5, 4);
    case 4: {
        std::vector<std::size_t> hits;
        std::size_t run = 0;
        int runSide = 0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            const int side = x[i] > l.centre ? 1 : x[i] < l.centre ? -1 : 0;
            run = side != 0 && side == runSide ? run + 1 : (side != 0 ? 1 : 0);
            runSide = side;
            if (run >= 8) hits.push_back(i);
        }
        return hits;
    }
    default: return {};
    }
}

Ratio CapabilityRatio(double mean, double sigma, double lower, double upper)
{
    if (!(sigma > 0)) return {};
    return {(upper - lower) / (6 * sigma), std::min(upper - mean, mean - lower) / (3 * sigma)};
}

Capability CapabilityOf(std::span<const double> values, double lower, double upper)
{
    Capability c;
    const ImrLimits l = IndividualsLimits(values);
    const double overall = StdDev(values);
    if (!l.valid || !(l.sigma > 0) || !(overall > 0) || !(lower < upper)) return c;
    const Ratio within = CapabilityRatio(l.centre, l.sigma, lower, upper);
    const Ratio total = CapabilityRatio(l.centre, overall, lower, upper);
    c.valid = true;
    c.cp = within.potential;
    c.cpk = within.actual;
    c.pp = total.potential;
    c.ppk = total.actual;
    return c;
}

}  // namespace spc
