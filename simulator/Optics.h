#pragma once
// The optics of the simulated haze meter as pure functions: a sample, a calibration standard and
// the optical settings in force go in; the four values of a reading and the 301-point reflection
// profile come out. Noise is drawn from the random source the caller passes in, so that a fixed
// seed repeats every result.
#include <QString>
#include <array>
#include <random>
#include <span>

namespace simulator {

using Random = std::mt19937;

// A surface under the measuring head. The light it reflects, as a function of the angle a
// (degrees) from the specular direction, is a narrow specular peak of energy E and width w, a haze
// shoulder that falls off exponentially, and a diffuse floor:
//     P(a) = E / (w sqrt(2 pi)) exp(-a^2 / 2w^2) + H exp(-|a| / d) + F
struct Sample {
    const char* name;
    double energy, width, haze, decay, floor;
    double specularSd, doiSd;  // repeatability of placing the head on this sample
};

// A calibration standard: its name and how its assigned value sits against the primary black
// glass that defines 100 gloss units.
struct Standard {
    const char* name;
    double scale;
};

// The instrument's optical settings (defaults: the factory values).
struct OpticalSettings {
    int center = 110, refCenter = 146, intensity = 45, dutyCycle = 37, refDutyCycle = 85;
    int blackLevel = 32767;
    double deg2Distortion = 1.0, doiDistortion = 1.0;
    bool constDC = false;  // constant duty cycle: no ranging to the sample
};

// One measurement as the detector took it, before a calibration standard is applied.
struct Measurement {
    double specular = 0;  // pixel area average
    double specularTotal = 0;  // total energy of the peak
    double doi = 0, deg2 = 0, deg15 = 0;
    QString error;  // why the reading is invalid; empty when it is good
};

// The four values of a reading.
struct Values {
    double specular = 0, doi = 0, deg2 = 0, deg15 = 0;
};

inline constexpr int ProfilePoints = 301;
inline constexpr int ProfileCentre = 150;  // index of the specular direction
using Profile = std::array<double, ProfilePoints>;

// The samples on the bench and the instrument's four calibration standards.
std::span<const Sample> Samples();
std::span<const Standard> Standards();

// Takes one reading of the sample. readingsSinceCorrection lets the gloss drift slowly until the
// next calibration or correction; occasionalInvalid lets about one reading in fifty fail with a
// message, as a hand-held instrument does.
Measurement Measure(const Sample& sample, const OpticalSettings& settings, int readingsSinceCorrection,
                    bool occasionalInvalid, Random& random);

// The four values of a measurement read against a calibration standard, with the specular value
// by pixel area average or by total energy.
Values Calibrated(const Measurement& measurement, const Standard& standard, bool pixelAvg);

// The reflection profile of a scan, 0.1 degree a point, the specular direction at the centre
// when the array centre is right; values in detector units rounded to 0.001, never negative.
Profile ScanProfile(const Sample& sample, const OpticalSettings& settings, Random& random);

}  // namespace simulator
