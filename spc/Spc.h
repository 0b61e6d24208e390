#pragma once
// Statistical process control arithmetic: summaries, individuals and moving range chart limits,
// the Western Electric run rules and capability indices. Pure functions over a run of values in
// the order they were taken; nothing here knows where the values come from.
#include <cstddef>
#include <span>
#include <vector>

namespace spc {

// Bias constants for moving ranges of two consecutive values.
inline constexpr double kD2 = 1.128;
inline constexpr double kD4 = 3.267;

struct Summary {
    std::size_t count = 0;
    double mean = 0;
    double stdDev = 0;  // sample standard deviation (n - 1); 0 below two values
    double min = 0;
    double max = 0;
};

double Mean(std::span<const double> values);
// Sample standard deviation (divisor n - 1); 0 for fewer than two values.
double StdDev(std::span<const double> values);
Summary Summarise(std::span<const double> values);

// |x[i] - x[i-1]| for i = 1..n-1.
std::vector<double> MovingRanges(std::span<const double> values);

// The indexes to draw of a run longer than the plot is wide: the run is cut into `columns` slices
// of equal length and each slice gives its first, lowest, highest and last value, in the order
// they were taken. A line through those points covers the same pixel columns, from the same
// lowest to the same highest value, as a line through the whole run. Every index, in order,
// when the run has no more than four values a column.
std::vector<std::size_t> PlotEnvelope(std::span<const double> values, std::size_t columns);

// Centre line and three-sigma limits of an individuals (X) chart and its moving range (MR) chart,
// with sigma estimated as the average moving range over d2.
struct ImrLimits {
    bool valid = false;  // at least two values
    double centre = 0;
    double sigma = 0;
    double ucl = 0;
    double lcl = 0;
    double mrCentre = 0;
    double mrUcl = 0;
    double mrLcl = 0;
};
ImrLimits IndividualsLimits(std::span<const double> baseline);

// The Western Electric rules. Each returns the indexes of the points that complete a breaking
// pattern, in ascending order:
//   1: one point beyond three sigma;
//   2: two of three consecutive points beyond two sigma on the same side;
//   3: four of five consecutive points beyond one sigma on the same side;
//   4: eight consecutive points on the same side of the centre line.
// The point reported is the last of its window and is itself on the offending side.
std::vector<std::size_t> WesternElectricRule(int rule, std::span<const double> values, const ImrLimits& limits);

// Capability against the lower and upper tolerance limits of a standard: Cp and Cpk with the within sigma
// (moving ranges), Pp and Ppk with the overall sample standard deviation.
struct Capability {
    bool valid = false;  // two values or more, a spread above zero, lower < upper
    double cp = 0;
    double cpk = 0;
    double pp = 0;
    double ppk = 0;
};
// The potential (spread) and actual (centring) ratio for one sigma.
struct Ratio {
    double potential = 0;  // (USL - LSL) / 6 sigma
    double actual = 0;  // min(USL - mean, mean - LSL) / 3 sigma
};
Ratio CapabilityRatio(double mean, double sigma, double lower, double upper);
Capability CapabilityOf(std::span<const double> values, double lower, double upper);

}  // namespace spc
