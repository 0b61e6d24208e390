#include "vantrel/MeterReading.h"

void MeterReading::SetValues(double specular, double doi, double deg2, double deg15)
{
    m_specular = specular;
    m_doi = doi;
    m_deg2 = deg2;
    m_deg15 = deg15;
}

void MeterReading::SetMessage(const QString& message)
{
    m_message = message;
    m_hasMessage = !message.isEmpty();
}

void MeterReading::Clear()
{
    Valid = false;
    TimeStamp = QDateTime();
    CalTimeStamp = QDateTime();
    SerialNo.clear();
    m_calStd.clear();
    m_count = 0;
    for (double& s : m_sum) s = 0;
    SetValues(0, 0, 0, 0);
    m_hasMessage = true;
    m_message = QStringLiteral("No readings");
}

void MeterReading::Add(const MeterReading& reading)
{
    if (m_count == 0) {
        m_calStd = reading.CalStd();
        m_hasMessage = false;
        m_message.clear();
        PixelAvg = reading.PixelAvg;
    } else if (reading.CalStd() != m_calStd) {
        m_hasMessage = true;
        m_message = QStringLiteral("Readings of different calibration standards");
    }
    ++m_count;
    m_sum[0] += reading.Specular();
    m_sum[1] += reading.DOI();
    m_sum[2] += reading.Deg2();
    m_sum[3] += reading.Deg15();
    TimeStamp = reading.TimeStamp;
    CalTimeStamp = reading.CalTimeStamp;
    SerialNo = reading.SerialNo;
    Valid = true;
    Recompute();
}

void MeterReading::Remove(double specular, double doi, double deg2, double deg15)
{
    if (m_count <= 0) return;
    --m_count;
    m_sum[0] -= specular;
    m_sum[1] -= doi;
    m_sum[2] -= deg2;
    m_sum[3] -= deg15;
    if (m_count == 0) {
        for (double& s : m_sum) s = 0;
        m_hasMessage = true;
        m_message = QStringLiteral("No readings");
        Valid = false;
    }
    Recompute();
}

void MeterReading::ClearMessage()
{
    if (m_count > 0) {
        m_hasMessage = false;
        m_message.clear();
    }
}

void MeterReading::Recompute()
{
    if (m_count > 0) SetValues(m_sum[0] / m_count, m_sum[1] / m_count, m_sum[2] / m_count, m_sum[3] / m_count);
    else SetValues(0, 0, 0, 0);
}
