#pragma once
// The five summary texts under the list: averages of the four values and the row count, or
// "---" in all five while the averages carry a message.
#include <QString>
#include <array>

#include "vantrel/MeterReading.h"

struct SummaryTexts {
    QString Specular, DOI, Deg2, Deg15, Count;
};

SummaryTexts MakeSummary(const MeterReading& averages, int digits, int rowCount);
