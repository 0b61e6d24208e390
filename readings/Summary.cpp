#include "readings/Summary.h"

#include "support/Numbers.h"

SummaryTexts MakeSummary(const MeterReading& averages, int digits, int rowCount)
{
    if (averages.HasMessage()) {
        const QString dash = QStringLiteral("---");
        return {dash, dash, dash, dash, dash};
    }
    return {support::FormatValue(averages.Specular(), digits), support::FormatValue(averages.DOI(), digits),
            support::FormatValue(averages.Deg2(), digits), support::FormatValue(averages.Deg15(), digits),
            QString::number(rowCount)};
}
