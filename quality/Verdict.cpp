#include "quality/Verdict.h"

#include <algorithm>

namespace quality {

QString ParameterName(int parameter)
{
    switch (parameter) {
    case Specular: return QStringLiteral("Specular");
    case DOI: return QStringLiteral("DOI");
    case Haze2: return QStringLiteral("2 Degree");
    case Haze15: return QStringLiteral("15 Degree");
    default: return {};
    }
}

QString VerdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass: return QStringLiteral("PASS");
    case Verdict::Warn: return QStringLiteral("WARN");
    case Verdict::Fail: return QStringLiteral("FAIL");
    case Verdict::None: break;
    }
    return {};
}

Verdict VerdictFromText(const QString& text)
{
    for (Verdict v : {Verdict::Pass, Verdict::Warn, Verdict::Fail})
        if (text == VerdictText(v)) return v;
    return Verdict::None;
}

Verdict JudgeValue(const Tolerance& t, double value)
{
    if (!t.judged) return Verdict::None;
    if (value < t.lower || value > t.upper) return Verdict::Fail;
    const double band = (t.upper - t.lower) * t.warnPercent / 100.0;
    if (band > 0 && (value < t.lower + band || value > t.upper - band)) return Verdict::Warn;
    return Verdict::Pass;
}

Judgement Judge(const Standard* standard, const std::array<double, kParameterCount>& values)
{
    Judgement j;
    if (!standard) return j;
    for (int p = 0; p < kParameterCount; ++p) {
        j.parameters[p] = JudgeValue(standard->tolerances[p], values[p]);
        j.overall = std::max(j.overall, j.parameters[p]);
    }
    return j;
}

QString ToleranceProblem(const Tolerance& t)
{
    if (!t.judged) return {};
    if (!(t.lower < t.upper)) return QStringLiteral("The lower limit must be below the upper limit.");
    if (t.target < t.lower || t.target > t.upper) return QStringLiteral("The target must lie within the limits.");
    if (t.warnPercent < 0 || t.warnPercent > 50) return QStringLiteral("The warning band must be 0 to 50 percent.");
    return {};
}

QString StandardProblem(const Standard& standard)
{
    if (standard.name.trimmed().isEmpty()) return QStringLiteral("The standard needs a name.");
    for (int p = 0; p < kParameterCount; ++p) {
        const QString problem = ToleranceProblem(standard.tolerances[p]);
        if (!problem.isEmpty()) return ParameterName(p) + QStringLiteral(": ") + problem;
    }
    return {};
}

}  // namespace quality
