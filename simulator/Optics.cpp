#include "simulator/Optics.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace simulator {
namespace {

const Sample kSamples[] = {
    {"Black glass tile", 99.9, 0.09, 0.12, 1.0, 0.017, 0.15, 0.2},
    {"Black car topcoat", 86.97, 0.12, 1.99, 1.6, 0.18, 0.3, 0.3},
    {"Orange-peel panel", 53.1, 0.164, 8.35, 1.5, 0.88, 0.4, 0.45},
    {"Hazy clear coat", 44.8, 0.168, 19.2, 2.5, 2.28, 0.4, 0.5},
    {"Matte plastic", 0.6, 1.5, 0.3, 3.0, 0.6, 0.05, 0.5},
    {"Polished aluminium", 1739.0, 0.107, 84.9, 1.2, 2.47, 2.5, 0.3},
};

const Standard kStandards[] = {
    {"Black Glass", 1.000},
    {"Gloss 60", 0.996},
    {"Mid Gloss", 1.004},
    {"Clear Coat", 0.998},
};

// The primary black glass that defines 100 gloss units.
const Sample kPrimary = {"primary", 100.0, 0.05, 0.02, 1.0, 0.005, 0, 0};

constexpr int kOpticalCenter = 110;  // pixel of the true specular direction
constexpr int kOpticalRefCenter = 146;  // pixel of the true reference window
constexpr double kPixelDegrees = 0.05;
constexpr int kCenterTolerance = 12;  // pixels before the peak leaves the window
constexpr int kDefaultBlackLevel = 32767;
constexpr double kAreaHalfWidth = 0.9;  // specular window, pixel area average
constexpr double kTotalHalfWidth = 1.5;  // specular window, total energy
constexpr double kDoiOffset = 0.3;
constexpr double kHazeGain = 3.0;
constexpr double kPeakCountsTarget = 30000;
constexpr double kFullScale = 65535;
constexpr double kRefCountsNominal = 40000;
constexpr double kLowLightCounts = 4000;
constexpr double kScanStep = 0.1;
constexpr double kChanceOfInvalid = 0.02;

const char* const kChanceErrors[] = {
    "Sample moved during reading",
    "Stray light: keep the sample port covered",
    "Unstable signal: repeat the reading",
};

double Square(double v)
{
    return v * v;
}

double Reflected(const Sample& o, double angle)
{
    const double peak =
        o.energy / (o.width * std::sqrt(2 * std::numbers::pi)) * std::exp(-Square(angle) / (2 * Square(o.width)));
    return peak + o.haze * std::exp(-std::fabs(angle) / o.decay) + o.floor;
}

// The profile as the array sees it: shifted by a misplaced array center, raised or lowered by
// a wrong black level, and scaled by the reference measurement.
struct ArrayView {
    const Sample& sample;
    double shift = 0, offset = 0, gain = 1;
    double operator()(double x) const { return std::max(0.0, (Reflected(sample, x + shift) + offset) * gain); }
};

double Integral(const ArrayView& v, double from, double to)
{
    const int steps = std::max(1, int((to - from) / 0.0025));
    const double h = (to - from) / steps;
    double sum = 0;
    for (int i = 0; i < steps; ++i) sum += v(from + (i + 0.5) * h);
    return sum * h;
}

// Mean of both sides of the profile between the two angles.
double SideMean(const ArrayView& v, double from, double to)
{
    return (Integral(v, from, to) + Integral(v, -to, -from)) / (2 * (to - from));
}

double PrimaryIntegral(double halfWidth)
{
    return Integral(ArrayView{kPrimary}, -halfWidth, halfWidth);
}

// How the optics and the settings in force meet on the detector.
struct Setup {
    ArrayView view;
    double refCounts = 0;
    double peakCounts = 0;  // detector counts at the peak, after ranging
    double noiseScale = 1;
    bool saturated = false;
    bool dark = false;  // no light at all
    QString error;
};

Setup MakeSetup(const Sample& o, const OpticalSettings& c)
{
    Setup s{ArrayView{o}, 0, 0, 1, false, false, QString()};
    const double refGain = std::exp(-Square((c.refCenter - kOpticalRefCenter) / 5.0));
    s.view.shift = (c.center - kOpticalCenter) * kPixelDegrees;
    s.view.offset = double(kDefaultBlackLevel - c.blackLevel) / kDefaultBlackLevel * 0.3;
    s.view.gain = refGain > 1e-9 ? 1.0 / refGain : 0.0;
    s.refCounts = kRefCountsNominal * (c.intensity / 45.0) * (c.refDutyCycle / 85.0) * refGain;
    s.dark = c.intensity <= 0 || c.dutyCycle <= 0;

    const double relativePeak = Reflected(o, 0) / Reflected(kPrimary, 0);
    auto countsAt = [&](double duty) {
        return kPeakCountsTarget * relativePeak * (c.intensity / 45.0) * (duty / 37.0);
    };
    double duty = c.dutyCycle;
    if (!c.constDC && !s.dark) {
        // Ranging: the duty cycle follows the sample so that the peak sits near the target counts.
        duty = std::min(300.0, c.dutyCycle * std::min(4.0, kPeakCountsTarget / countsAt(c.dutyCycle)));
    }
    s.peakCounts = countsAt(duty);
    s.saturated = s.peakCounts > kFullScale;
    const double sampleNoise = std::sqrt(kPeakCountsTarget / std::max(1.0, std::min(s.peakCounts, kFullScale)));
    const double refNoise = s.refCounts > 1 ? kRefCountsNominal / s.refCounts : 1e4;
    s.noiseScale = std::clamp(sampleNoise * std::sqrt(0.8 + 0.2 * refNoise), 0.5, 5.0);

    if (c.intensity <= 0) s.error = QStringLiteral("No light: LED intensity is 0");
    else if (c.dutyCycle <= 0) s.error = QStringLiteral("No light: duty cycle is 0");
    else if (s.refCounts > kFullScale) s.error = QStringLiteral("Reference signal saturated");
    else if (s.refCounts < kLowLightCounts) s.error = QStringLiteral("Reference signal too low");
    else if (std::abs(c.center - kOpticalCenter) > kCenterTolerance)
        s.error = QStringLiteral("Specular peak outside the measuring window");
    else if (s.saturated) s.error = QStringLiteral("Detector saturated: lower the duty cycle");
    return s;
}

}  // namespace

std::span<const Sample> Samples()
{
    return kSamples;
}
std::span<const Standard> Standards()
{
    return kStandards;
}

Measurement Measure(const Sample& o, const OpticalSettings& settings, int readingsSinceCorrection,
                    bool occasionalInvalid, Random& random)
{
    const Setup setup = MakeSetup(o, settings);
    const ArrayView& v = setup.view;
    static const double primaryArea = PrimaryIntegral(kAreaHalfWidth);
    static const double primaryTotal = PrimaryIntegral(kTotalHalfWidth);

    Measurement m;
    const double area = setup.dark ? 0 : Integral(v, -kAreaHalfWidth, kAreaHalfWidth);
    const double total = setup.dark ? 0 : Integral(v, -kTotalHalfWidth, kTotalHalfWidth);
    const double drift = 1.0 + 0.0002 * std::min(readingsSinceCorrection, 50);
    m.specular = area / primaryArea * 100 * drift;
    m.specularTotal = total / primaryTotal * 100 * drift;
    const double centre = setup.dark ? 0 : v(0);
    const double side = setup.dark ? 0 : (v(-kDoiOffset) + v(kDoiOffset)) / 2;
    m.doi = centre > 0 ? 100 * (1 - side / centre) : 0;
    m.doi = 100 - (100 - std::clamp(m.doi, 0.0, 100.0)) * settings.doiDistortion;
    m.deg2 = area > 0 ? 100 * kHazeGain * SideMean(v, 1.8, 2.2) / area * settings.deg2Distortion : 0;
    m.deg15 = area > 0 ? 100 * kHazeGain * SideMean(v, 14.0, 15.0) / area : 0;

    // Repeatability: placing the head, detector and reference noise.
    auto gauss = [&random] { return std::normal_distribution<double>(0.0, 1.0)(random); };
    const double ns = setup.noiseScale;
    const double glossNoise = gauss() * o.specularSd * ns;
    m.specular = std::max(0.0, m.specular + glossNoise);
    m.specularTotal = std::max(0.0, m.specularTotal + glossNoise * m.specularTotal / std::max(m.specular, 1e-9));
    m.doi = m.doi + gauss() * o.doiSd * ns;
    m.doi = std::max(0.0, 100 - std::fabs(100 - m.doi));  // noise never lifts DOI above its ceiling
    m.deg2 = std::max(0.0, m.deg2 * (1 + 0.02 * ns * gauss()) + 0.02 * ns * gauss());
    m.deg15 = std::max(0.0, m.deg15 * (1 + 0.03 * ns * gauss()));

    m.error = setup.error;
    if (m.error.isEmpty() && m.specular < 5.0) m.error = QStringLiteral("Sample gloss too low for DOI");
    if (occasionalInvalid) {
        const double chance = std::uniform_real_distribution<double>(0.0, 1.0)(random);
        if (m.error.isEmpty() && chance < kChanceOfInvalid) {
            const int which = std::uniform_int_distribution<int>(0, 2)(random);
            m.error = QString::fromLatin1(kChanceErrors[which]);
        }
    }
    return m;
}

Values Calibrated(const Measurement& m, const Standard& standard, bool pixelAvg)
{
    return {(pixelAvg ? m.specular : m.specularTotal) * standard.scale, m.doi, m.deg2, m.deg15};
}

Profile ScanProfile(const Sample& sample, const OpticalSettings& settings, Random& random)
{
    const Setup setup = MakeSetup(sample, settings);
    // What full scale of the detector means in profile units.
    const double clip = setup.saturated ? setup.view(-setup.view.shift) * kFullScale / setup.peakCounts : 0;

    Profile profile{};
    for (int i = 0; i < ProfilePoints; ++i) {
        const double x = (i - ProfileCentre) * kScanStep;
        double value = setup.dark ? std::max(0.0, setup.view.offset) : setup.view(x);
        const double sd = 0.003 * value + 0.01 * setup.noiseScale;
        value += std::normal_distribution<double>(0.0, sd)(random);
        if (setup.saturated) value = std::min(value, clip);
        value = std::max(0.0, value);
        profile[size_t(i)] = std::round(value * 1000) / 1000;
    }
    return profile;
}

}  // namespace simulator
