// "Example": a bench meter that always has a reference tile under its head. It shows what a
// meter control must do: finish its handshake in bounded time with LinkChanged, announce each
// measurement with Busy, ReadingReady and Idle, refuse what it cannot do (it does not scan or
// calibrate), and never block the event loop. Its settings come from example.json.
#include <QDateTime>
#include <QObject>
#include <QTimer>

#include "metercontrols/MeterControlPlugin.h"
#include "vantrel/AccessCode.h"
#include "vantrel/VantrelCntl.h"

namespace {

struct TileValues {
    double specular, doi, deg2, deg15;
};

class ExampleMeter : public VantrelCntl {
    Q_OBJECT
public:
    ExampleMeter(const QMap<QString, QString>& settings, QObject* parent)
        : VantrelCntl(parent)
        , m_serial(settings.value(QStringLiteral("SerialNumber")))
        , m_handshakeMs(settings.value(QStringLiteral("HandshakeMs")).toInt())
        , m_mains(settings.value(QStringLiteral("MainsPowered")) == QLatin1String("True"))
        , m_tileName(settings.value(QStringLiteral("Tile")))
    {
        m_tile = m_tileName == QLatin1String("Matte tile") ? TileValues{12.4, 20.3, 45.0, 60.2}
                                                           : TileValues{92.1, 98.5, 0.8, 0.3};
        m_handshake.setSingleShot(true);
        connect(&m_handshake, &QTimer::timeout, this, [this] {
            m_linked = true;
            emit MeterEvent(Event::LinkChanged);
        });
        m_measuring.setSingleShot(true);
        connect(&m_measuring, &QTimer::timeout, this, [this] {
            m_taken = QDateTime::currentDateTime();
            emit MeterEvent(Event::ReadingReady);
            m_busy = false;
            if (m_linked) emit MeterEvent(Event::Idle);
        });
    }

    bool Connected() const override { return m_linked; }
    void SetConnected(bool value) override
    {
        if (value && !m_linked && !m_handshake.isActive()) m_handshake.start(m_handshakeMs);
        if (!value) {
            m_handshake.stop();
            m_measuring.stop();
            m_linked = m_busy = false;
        }
    }
    int32_t ConnectState() override { return m_handshake.isActive() ? Connecting : 0; }
    int32_t MeterState() const override { return m_linked ? State::Waiting : State::Off; }
    int32_t BatteryState() const override { return Battery::Ok; }
    QString Version() const override { return QStringLiteral("Example 1.0"); }
    QString SerialNumber() const override { return m_serial; }
    void SetSerialNumber(const QString& value) override { m_serial = value; }

    bool TakeReading() override
    {
        if (!m_linked || m_busy) return false;
        m_busy = true;
        emit MeterEvent(Event::Busy);
        m_measuring.start(150);
        return true;
    }
    void GetReading(MeterReading& reading, int16_t) override
    {
        reading.Valid = m_taken.isValid();
        reading.TimeStamp = m_taken;
        reading.CalTimeStamp = QDateTime();
        reading.SerialNo = m_serial;
        reading.SetCalStd(m_tileName);
        reading.SetValues(m_tile.specular, m_tile.doi, m_tile.deg2, m_tile.deg15);
        reading.SetMessage(reading.Valid ? QString() : QStringLiteral("No reading taken"));
    }
    // A bench meter without a scanning head: scans and calibrations are refused.
    bool Scan(bool) override { return false; }
    void GetScanData(ScanData& scan) override { scan.Clear(); }
    void Cancel() override {}
    void TurnOff() override { SetConnected(false); }
    void UpdateInfo() override {}
    void ClearCalibration() override {}
    bool Calibrate() override { return false; }
    bool AdvancedCorrection() override { return false; }
    bool Normalize() override { return false; }
    bool Unlock(double accessCode) override { return accessCode == GlimoraAccessCode(); }

    int16_t CalIndex() const override { return m_calIndex; }
    void SetCalIndex(int16_t value) override { m_calIndex = value; }
    // A meter on the mains never switches itself off, whatever it is asked.
    bool KeepAlive() const override { return m_mains || m_keepAlive; }
    void SetKeepAlive(bool value) override { m_keepAlive = value; }
    void SetEnableButton(bool) override {}
    void SetConstDC(bool) override {}
    int16_t Center() const override { return 0; }
    void SetCenter(int16_t) override {}
    int16_t DutyCycle() const override { return 0; }
    void SetDutyCycle(int16_t) override {}
    int16_t RefCenter() const override { return 0; }
    void SetRefCenter(int16_t) override {}
    int16_t RefDutyCycle() const override { return 0; }
    void SetRefDutyCycle(int16_t) override {}
    int16_t Intensity() const override { return 0; }
    void SetIntensity(int16_t) override {}
    int32_t BlackLevel() const override { return 0; }
    void SetBlackLevel(int32_t) override {}
    double Deg2Distortion() const override { return 0; }
    void SetDeg2Distortion(double) override {}
    double DOIDistortion() const override { return 0; }
    void SetDOIDistortion(double) override {}
    int16_t Authority() const override { return 1; }

private:
    QString m_serial;
    int m_handshakeMs;
    bool m_mains;
    QString m_tileName;
    TileValues m_tile;
    QTimer m_handshake, m_measuring;
    bool m_linked = false, m_busy = false, m_keepAlive = false;
    int16_t m_calIndex = 0;
    QDateTime m_taken;
};

}  // namespace

class ExamplePlugin : public QObject, public MeterControlPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID MeterControlPlugin_iid FILE "example.json")
    Q_INTERFACES(MeterControlPlugin)
public:
    VantrelCntl* Create(const QMap<QString, QString>& settings, QObject* parent) override
    {
        return new ExampleMeter(settings, parent);
    }
};

#include "ExamplePlugin.moc"
