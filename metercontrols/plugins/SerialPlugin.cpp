// The "Serial" meter control: a haze meter on a serial port ([MeterControl] Port, BaudRate;
// described in serial.json).
#include <QObject>

#include "metercontrols/MeterControlPlugin.h"
#include "metercontrols/serial/SerialMeter.h"

class SerialPlugin : public QObject, public MeterControlPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID MeterControlPlugin_iid FILE "serial.json")
    Q_INTERFACES(MeterControlPlugin)
public:
    VantrelCntl* Create(const QMap<QString, QString>& settings, QObject* parent) override
    {
        SerialMeterOptions options;
        options.port = settings.value(QStringLiteral("Port")).trimmed();
        bool ok = false;
        const int baud = settings.value(QStringLiteral("BaudRate")).trimmed().toInt(&ok);
        if (ok && baud > 0) options.baudRate = baud;
        return new SerialMeter(options, parent);
    }
};

#include "SerialPlugin.moc"
