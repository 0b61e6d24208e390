#include "metercontrols/NoMeter.h"

#include <QTimer>

void NoMeter::SetConnected(bool value)
{
    // The handshake ends as soon as it starts: nothing is found.
    if (value) QTimer::singleShot(0, this, [this] { emit MeterEvent(Event::LinkChanged); });
}

void NoMeter::GetReading(MeterReading& reading, int16_t)
{
    reading.Valid = false;
    reading.TimeStamp = QDateTime::currentDateTime();
    reading.CalTimeStamp = QDateTime();
    reading.SerialNo.clear();
    reading.SetCalStd(QString());
    reading.SetValues(0, 0, 0, 0);
    reading.SetMessage(QStringLiteral("No haze meter found"));
}
