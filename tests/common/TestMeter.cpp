#include "tests/common/TestMeter.h"

void TestMeter::SetNextReading(double specular, double doi, double deg2, double deg15, const QString& calStd,
                               const QDateTime& when, bool valid, const QString& message)
{
    nextReading = MeterReading();
    nextReading.Valid = valid;
    nextReading.TimeStamp = when;
    nextReading.CalTimeStamp = QDateTime(QDate(2002, 6, 1), QTime(8, 0, 0));
    nextReading.SerialNo = serialNumber;
    nextReading.SetValues(specular, doi, deg2, deg15);
    nextReading.SetCalStd(calStd);
    nextReading.SetMessage(message);
}

void TestMeter::SetConnected(bool value)
{
    log << QStringLiteral("Connected=%1").arg(value ? "true" : "false");
    connected = value && linkOnConnect;
}

int32_t TestMeter::ConnectState()
{
    log << QStringLiteral("ConnectState");
    if (!connectStates.isEmpty()) return connectStates.dequeue();
    return connected ? 2 : 0;
}

void TestMeter::GetReading(MeterReading& reading, int16_t idx)
{
    log << QStringLiteral("GetReading(%1)").arg(idx);
    lastCalIndexAsked = idx;
    const bool pixelAvg = reading.PixelAvg;
    lastPixelAvgAsked = pixelAvg;
    reading = nextReading;
    reading.PixelAvg = pixelAvg;
}

QStringList TestMeter::Writes() const
{
    QStringList out;
    for (const QString& e : log)
        if (!e.endsWith(QLatin1Char('?'))) out << e;
    return out;
}
