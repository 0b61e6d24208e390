#pragma once
// Standards and the verdict on a reading: for each of the four measured values, whether it is
// judged, its target, its lower and upper limit and a warning band inside each limit.
#include <QString>
#include <array>
#include <optional>

namespace quality {

// The four measured values, in the order of a reading.
enum Parameter { Specular = 0, DOI = 1, Haze2 = 2, Haze15 = 3 };
inline constexpr int kParameterCount = 4;
// "Specular", "DOI", "2 Degree", "15 Degree".
QString ParameterName(int parameter);

enum class Verdict { None = 0, Pass = 1, Warn = 2, Fail = 3 };
// "PASS", "WARN", "FAIL"; empty for None.
QString VerdictText(Verdict verdict);
Verdict VerdictFromText(const QString& text);

struct Tolerance {
    bool judged = false;
    double target = 0;
    double lower = 0;
    double upper = 0;
    double warnPercent = 0;  // of (upper - lower), inside each limit; 0 = no warning band
};

struct Standard {
    QString id;  // a UUID text, empty until stored
    QString name;
    std::array<Tolerance, kParameterCount> tolerances{};
};

struct Judgement {
    std::array<Verdict, kParameterCount> parameters{};
    Verdict overall = Verdict::None;
};

// One value against one tolerance: FAIL outside the limits, WARN inside a limit by less than the
// warning band, PASS otherwise (a value on a limit is inside); None when not judged.
Verdict JudgeValue(const Tolerance& tolerance, double value);
// A reading against a standard: each judged value, and overall the worst of them. No standard, or
// a standard that judges nothing, gives None throughout.
Judgement Judge(const Standard* standard, const std::array<double, kParameterCount>& values);

// Why a tolerance cannot be kept, for the editor to show; empty when it can. Limits must be in
// order (lower below upper), the target within them, the warning band 0 to 50 percent.
QString ToleranceProblem(const Tolerance& tolerance);
// The first problem of a standard (its name, then each judged tolerance), or empty.
QString StandardProblem(const Standard& standard);

}  // namespace quality
