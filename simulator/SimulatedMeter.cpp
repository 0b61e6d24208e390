#include "simulator/SimulatedMeter.h"

#include <algorithm>
#include <cmath>

#include "simulator/FrontPanel.h"
#include "vantrel/AccessCode.h"

using simulator::Key;

namespace {
constexpr int kLowBattery = 15;  // percent below which the battery reads as low
}  // namespace

SimulatedMeter::SimulatedMeter(const SimulatedMeterOptions& options, QObject* parent)
    : VantrelCntl(parent)
    , m_options(options)
    , m_store(options.storePath.isEmpty() ? simulator::InstrumentStore::DefaultPath() : options.storePath)
{
    // A stored seed repeats every run exactly; without one each run draws its own.
    const quint32 seed = quint32(m_store.Int(Key::Seed));
    if (seed != 0) {
        m_random.seed(seed);
        m_timing.seed(seed);
    } else {
        std::random_device device;
        m_random.seed(device());
        m_timing.seed(device());
    }

    m_present = m_store.Bool(Key::Present);
    m_plugged = m_store.Bool(Key::Plugged);
    m_battery = double(m_store.Int(Key::BatteryPercent));
    m_poweredOn = m_store.Bool(Key::PoweredOn);
    if (m_battery <= 0) setPoweredOn(false);
    m_state = m_poweredOn ? State::Waiting : State::Off;

    m_linkTimer.setSingleShot(true);
    m_opTimer.setSingleShot(true);
    m_autoOffTimer.setSingleShot(true);
    m_flashTimer.setSingleShot(true);
    m_batteryTimer.setInterval(30000);
    connect(&m_linkTimer, &QTimer::timeout, this, &SimulatedMeter::finishHandshake);
    connect(&m_opTimer, &QTimer::timeout, this, [this] {
        auto finish = std::move(m_opFinish);
        m_opFinish = nullptr;
        if (finish) finish();
    });
    connect(&m_autoOffTimer, &QTimer::timeout, this, &SimulatedMeter::autoOff);
    connect(&m_batteryTimer, &QTimer::timeout, this, [this] {
        if (m_poweredOn) setBattery(m_battery - 0.1);
    });
    connect(&m_flashTimer, &QTimer::timeout, this, [this] {
        m_flash.clear();
        emit PanelChanged();
    });
    if (m_poweredOn) {
        m_batteryTimer.start();
        touch();
    }

    if (m_options.showPanel && PanelRemembered()) FrontPanel()->show();
}

SimulatedMeter::~SimulatedMeter()
{
    if (m_panel) m_store.SetPanelGeometry(m_panel->saveGeometry());
    m_panel.reset();
}

QStringList SimulatedMeter::Samples()
{
    QStringList names;
    for (const simulator::Sample& s : simulator::Samples()) names << QString::fromLatin1(s.name);
    return names;
}

bool SimulatedMeter::PanelRemembered() const
{
    return m_store.Bool(Key::PanelVisible);
}

QWidget* SimulatedMeter::FrontPanel()
{
    if (!m_panel) {
        m_panel = std::make_unique<MeterFrontPanel>(this);
        const QByteArray geometry = m_store.PanelGeometry();
        if (!geometry.isEmpty()) m_panel->restoreGeometry(geometry);
        connect(m_panel.get(), &MeterFrontPanel::VisibilityChosen, this, [this](bool visible) {
            // A program that has let go of the meter closes every window as it quits; only a
            // panel closed while the host holds the link is the operator's choice.
            if (!visible && !m_linkWanted) return;
            m_store.Set(Key::PanelVisible, visible);
            if (m_panel) m_store.SetPanelGeometry(m_panel->saveGeometry());
        });
    }
    return m_panel.get();
}

// ---------------------------------------------------------------------------------------------
// Link

bool SimulatedMeter::reachable() const
{
    return m_present && m_plugged && m_poweredOn;
}

bool SimulatedMeter::readyForCommand() const
{
    return m_link == Link::Linked && m_poweredOn && m_op == Operation::None;
}

int SimulatedMeter::delay(int ms) const
{
    return m_options.zeroDelays ? 0 : ms;
}

int SimulatedMeter::measuringDelay()
{
    return m_options.zeroDelays ? 0 : std::uniform_int_distribution<int>(1000, 2000)(m_timing);
}

void SimulatedMeter::report(int code)
{
    emit PanelChanged();
    if (m_link == Link::Linked) emit MeterEvent(code);
}

bool SimulatedMeter::Connected() const
{
    return m_link == Link::Linked;
}

void SimulatedMeter::SetConnected(bool value)
{
    if (value) {
        m_linkWanted = true;
        if (m_link != Link::Linked && m_link != Link::Handshake) startHandshake();
        return;
    }
    m_linkWanted = false;
    m_linkTimer.stop();
    if (m_op != Operation::None) abortOperation();
    m_link = Link::Closed;
    m_authority = 1;
    emit PanelChanged();
}

int32_t SimulatedMeter::ConnectState()
{
    switch (m_link) {
    case Link::Handshake: return 1;
    case Link::Linked: return 2;
    default: return 0;
    }
}

void SimulatedMeter::startHandshake()
{
    m_link = Link::Handshake;
    m_linkTimer.start(delay(int(m_store.Int(Key::HandshakeMs))));
    emit PanelChanged();
}

void SimulatedMeter::finishHandshake()
{
    if (m_link != Link::Handshake) return;
    if (!m_linkWanted || !reachable()) {
        m_link = Link::Lost;
        emit PanelChanged();
        emit MeterEvent(Event::LinkChanged);  // not found
        return;
    }
    m_link = Link::Linked;
    m_everLinked = true;
    report(Event::LinkChanged);
    if (m_link != Link::Linked || m_op != Operation::None) return;
    wakeUp();
}

// Reads the instrument's parameters (state 0), then idles.
void SimulatedMeter::wakeUp()
{
    beginOperation(Operation::Parameters, State::GettingParameters, 400, [this] {
        finishToIdle();
        checkLowBattery();
    });
    report(Event::StateChanged);
}

void SimulatedMeter::loseLink()
{
    m_linkTimer.stop();
    if (m_op != Operation::None) abortOperation();
    const bool wasLinked = m_link == Link::Linked;
    m_link = Link::Lost;
    m_authority = 1;
    emit PanelChanged();
    if (wasLinked) emit MeterEvent(Event::LinkChanged);
}

void SimulatedMeter::SetCablePlugged(bool plugged)
{
    if (plugged == m_plugged) return;
    m_plugged = plugged;
    m_store.Set(Key::Plugged, plugged);
    if (!plugged) {
        m_shown = Taken();  // a cable pulled out ends the session: its last reading leaves the display
        if (m_link == Link::Linked) loseLink();
        else emit PanelChanged();
        return;
    }
    if (m_linkWanted && m_poweredOn && m_present && (m_link == Link::Lost || m_link == Link::Closed)) startHandshake();
    else emit PanelChanged();
}

// ---------------------------------------------------------------------------------------------
// Operations

bool SimulatedMeter::startOperation(Operation op, int32_t state, int ms, std::function<void()> finish)
{
    if (!readyForCommand()) return false;
    beginOperation(op, state, ms, std::move(finish));
    report(Event::Busy);
    return true;
}

void SimulatedMeter::beginOperation(Operation op, int32_t state, int ms, std::function<void()> finish)
{
    m_op = op;
    m_state = state;
    m_opFinish = std::move(finish);
    m_autoOffTimer.stop();
    m_opTimer.start(delay(ms));
}

void SimulatedMeter::abortOperation()
{
    m_opTimer.stop();
    m_opFinish = nullptr;
    m_op = Operation::None;
    m_state = m_poweredOn ? State::Waiting : State::Off;
    touch();
}

void SimulatedMeter::finishToIdle()
{
    m_op = Operation::None;
    m_state = State::Waiting;
    touch();
    report(Event::Idle);
}

bool SimulatedMeter::TakeReading()
{
    if (!readyForCommand()) return false;
    return startOperation(Operation::Reading, State::Waiting, measuringDelay(), [this] { takeMeasurement(); });
}

void SimulatedMeter::PressMeasureButton()
{
    if (!m_poweredOn || !m_present) return;
    if (!m_store.Bool(Key::EnableButton)) {
        flash(QStringLiteral("BUTTON DISABLED"));
        touch();
        return;
    }
    if (m_op != Operation::None || m_link == Link::Handshake) return;
    // The meter measures on its own button whether or not a host is listening.
    beginOperation(Operation::Reading, State::Waiting, measuringDelay(), [this] { takeMeasurement(); });
    report(Event::Busy);
}

simulator::OpticalSettings SimulatedMeter::opticalSettings() const
{
    simulator::OpticalSettings s;
    s.center = Center();
    s.refCenter = RefCenter();
    s.intensity = Intensity();
    s.dutyCycle = DutyCycle();
    s.refDutyCycle = RefDutyCycle();
    s.blackLevel = BlackLevel();
    s.deg2Distortion = Deg2Distortion();
    s.doiDistortion = DOIDistortion();
    s.constDC = m_store.Bool(Key::ConstDC);
    return s;
}

const simulator::Sample& SimulatedMeter::sample() const
{
    return simulator::Samples()[size_t(Sample())];
}

void SimulatedMeter::takeMeasurement()
{
    m_last.taken = true;
    m_last.when = QDateTime::currentDateTime();
    m_last.values = simulator::Measure(sample(), opticalSettings(), m_readingsSinceCorrection,
                                       m_store.Bool(Key::OccasionalInvalidReadings), m_random);
    m_last.notice = BatteryPercent() < kLowBattery ? QStringLiteral("Battery low") : QString();
    m_shown = m_last;
    ++m_readingsSinceCorrection;
    setBattery(m_battery - 0.02);
    if (m_op != Operation::Reading) return;  // the battery gave out
    report(Event::ReadingReady);
    if (m_op != Operation::Reading) return;  // cancelled, switched off or unlinked meanwhile
    finishToIdle();
}

bool SimulatedMeter::Scan(bool start)
{
    if (!start) {
        if (m_op != Operation::Scan) return false;
        abortOperation();
        report(Event::Idle);
        return true;
    }
    return startOperation(Operation::Scan, State::Scanning, 2500, [this] {
        const simulator::Profile profile = simulator::ScanProfile(sample(), opticalSettings(), m_random);
        for (int i = 0; i < ScanData::PointCount; ++i) m_scan.SetPoint(i, profile[size_t(i)]);
        m_scan.HasData = true;
        setBattery(m_battery - 0.1);
        if (m_op != Operation::Scan) return;
        report(Event::ScanReady);
        if (m_op != Operation::Scan) return;
        finishToIdle();
    });
}

bool SimulatedMeter::Calibrate()
{
    const int index = CalIndex();
    return startOperation(Operation::Calibration, State::Correcting, 3000, [this, index] {
        simulator::StandardRecord standard = m_store.Standard(index);
        QDateTime now = QDateTime::currentDateTime();
        now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
        standard.calibrated = now;
        standard.cleared = false;
        m_store.SetStandard(index, standard);
        m_readingsSinceCorrection = 0;
        setBattery(m_battery - 0.1);
        if (m_op != Operation::Calibration) return;
        finishToIdle();
    });
}

bool SimulatedMeter::AdvancedCorrection()
{
    return startOperation(Operation::Correction, State::Correcting, 2500, [this] {
        m_readingsSinceCorrection = 0;
        setBattery(m_battery - 0.05);
        if (m_op != Operation::Correction) return;
        finishToIdle();
    });
}

bool SimulatedMeter::Normalize()
{
    return startOperation(Operation::Normalizing, State::Waiting, 400, [this] { finishToIdle(); });
}

void SimulatedMeter::UpdateInfo()
{
    if (!readyForCommand()) return;
    beginOperation(Operation::Parameters, State::GettingParameters, 500, [this] { finishToIdle(); });
    report(Event::StateChanged);
}

void SimulatedMeter::ClearCalibration()
{
    if (!readyForCommand()) return;
    for (int i = 0; i < simulator::StandardCount; ++i) {
        simulator::StandardRecord standard = m_store.Standard(i);
        standard.cleared = true;
        standard.calibrated = QDateTime();
        m_store.SetStandard(i, standard);
    }
    touch();
    report(Event::StateChanged);
}

void SimulatedMeter::Cancel()
{
    if (m_op != Operation::None && m_op != Operation::Parameters) {
        abortOperation();
        report(Event::Idle);
    }
    if (!m_poweredOn && m_present && m_plugged && m_battery > 0) powerOn();
    if (m_linkWanted && m_poweredOn && (m_link == Link::Lost || m_link == Link::Closed)) startHandshake();
}

void SimulatedMeter::TurnOff()
{
    if (m_link == Link::Linked && m_poweredOn) powerOff();
}

// ---------------------------------------------------------------------------------------------
// Power and battery

void SimulatedMeter::flash(const QString& text)
{
    m_flash = text;
    m_flashTimer.start(2000);
    emit PanelChanged();
}

void SimulatedMeter::PressPowerButton()
{
    if (!m_present) return;
    if (m_poweredOn) powerOff();
    else if (m_battery > 0) powerOn();
    else flash(QStringLiteral("BATTERY EMPTY"));
}

void SimulatedMeter::setPoweredOn(bool on)
{
    m_poweredOn = on;
    m_store.Set(Key::PoweredOn, on);
}

void SimulatedMeter::powerOn()
{
    if (m_poweredOn) return;
    setPoweredOn(true);
    m_state = State::Waiting;
    m_batteryTimer.start();
    touch();
    if (m_link == Link::Linked) {
        wakeUp();
    } else if (m_linkWanted && m_plugged && m_link != Link::Handshake) {
        startHandshake();
    } else {
        emit PanelChanged();
    }
}

void SimulatedMeter::powerOff()
{
    if (!m_poweredOn) return;
    m_opTimer.stop();
    m_opFinish = nullptr;
    m_op = Operation::None;
    setPoweredOn(false);
    m_state = State::Off;
    m_autoOffTimer.stop();
    m_batteryTimer.stop();
    m_flash.clear();
    m_shown = Taken();  // the display starts blank when the meter is switched on again
    report(Event::SwitchedOff);
}

void SimulatedMeter::touch()
{
    const int seconds = int(m_store.Int(Key::AutoOffSeconds));
    if (m_poweredOn && !KeepAlive() && seconds > 0 && m_op == Operation::None) m_autoOffTimer.start(seconds * 1000);
    else m_autoOffTimer.stop();
}

void SimulatedMeter::autoOff()
{
    if (!m_poweredOn || KeepAlive()) return;
    if (m_op != Operation::None) return;  // restarted when the operation ends
    powerOff();
}

int SimulatedMeter::BatteryPercent() const
{
    return int(std::lround(m_battery));
}

void SimulatedMeter::SetBatteryPercent(int percent)
{
    setBattery(percent);
}

void SimulatedMeter::setBattery(double percent)
{
    const int before = BatteryPercent();
    m_battery = std::clamp(percent, 0.0, 100.0);
    if (BatteryPercent() != before) m_store.Set(Key::BatteryPercent, BatteryPercent());
    if (m_battery <= 0 && m_poweredOn) {
        powerOff();
        return;
    }
    emit PanelChanged();
    checkLowBattery();
}

void SimulatedMeter::checkLowBattery()
{
    if (BatteryPercent() >= kLowBattery) {
        m_lowWarned = false;
        return;
    }
    if (m_lowWarned || !m_poweredOn || m_link != Link::Linked || m_state == State::GettingParameters) return;
    m_lowWarned = true;
    report(Event::Warning);
}

int32_t SimulatedMeter::BatteryState() const
{
    if (m_link != Link::Linked) return 0;
    return BatteryPercent() < kLowBattery ? 1 : 2;
}

int32_t SimulatedMeter::MeterState() const
{
    return m_poweredOn ? m_state : State::Off;
}

// ---------------------------------------------------------------------------------------------
// Identity, access and settings

QString SimulatedMeter::Version() const
{
    return m_everLinked ? m_store.Text(Key::Version) : QString();
}

QString SimulatedMeter::SerialNumber() const
{
    return m_everLinked ? m_store.Text(Key::SerialNumber) : QString();
}

void SimulatedMeter::SetSerialNumber(const QString& value)
{
    m_store.Set(Key::SerialNumber, value);
    emit PanelChanged();
}

bool SimulatedMeter::Unlock(double accessCode)
{
    const bool ok = accessCode == GlimoraAccessCode();
    m_authority = ok ? int16_t(m_store.Int(Key::Authority)) : int16_t(1);
    return ok;
}

void SimulatedMeter::SetCalIndex(int16_t value)
{
    if (m_store.Set(Key::CalIndex, value)) emit PanelChanged();
}

void SimulatedMeter::SetKeepAlive(bool value)
{
    m_store.Set(Key::KeepAlive, value);
    touch();
}

void SimulatedMeter::SetEnableButton(bool value)
{
    m_store.Set(Key::EnableButton, value);
}

void SimulatedMeter::SetConstDC(bool value)
{
    m_store.Set(Key::ConstDC, value);
}

void SimulatedMeter::SetSample(int index)
{
    if (index == Sample()) return;
    if (m_store.Set(Key::Sample, index)) emit PanelChanged();
}

// ---------------------------------------------------------------------------------------------
// Readings, scans and the display

void SimulatedMeter::GetReading(MeterReading& reading, int16_t calIndex)
{
    reading.SerialNo = m_store.Text(Key::SerialNumber);
    reading.TimeStamp = m_last.taken ? m_last.when : QDateTime::currentDateTime();
    if (calIndex < 0 || calIndex >= simulator::StandardCount) {
        reading.Valid = false;
        reading.SetCalStd(QString());
        reading.CalTimeStamp = QDateTime();
        reading.SetValues(0, 0, 0, 0);
        reading.SetMessage(QStringLiteral("No such calibration standard"));
        return;
    }
    const simulator::StandardRecord standard = m_store.Standard(calIndex);
    reading.SetCalStd(standard.name);
    reading.CalTimeStamp = standard.calibrated;
    if (!m_last.taken) {
        reading.Valid = false;
        reading.SetValues(0, 0, 0, 0);
        reading.SetMessage(QStringLiteral("No reading taken"));
        return;
    }
    const simulator::Values v =
        simulator::Calibrated(m_last.values, simulator::Standards()[size_t(calIndex)], reading.PixelAvg);
    reading.SetValues(v.specular, v.doi, v.deg2, v.deg15);
    if (standard.cleared) {
        reading.Valid = false;
        reading.SetMessage(QStringLiteral("Not calibrated"));
    } else if (!m_last.values.error.isEmpty()) {
        reading.Valid = false;
        reading.SetMessage(m_last.values.error);
    } else {
        reading.Valid = true;
        reading.SetMessage(m_last.notice);
    }
}

void SimulatedMeter::GetScanData(ScanData& scan)
{
    scan = m_scan;
}

QString SimulatedMeter::DisplayText() const
{
    if (!m_present || !m_poweredOn) return QString();

    QString status;
    switch (m_op) {
    case Operation::Reading: status = QStringLiteral("MEASURING..."); break;
    case Operation::Scan: status = QStringLiteral("SCANNING..."); break;
    case Operation::Calibration: status = QStringLiteral("CALIBRATING..."); break;
    case Operation::Correction: status = QStringLiteral("CORRECTING..."); break;
    case Operation::Normalizing: status = QStringLiteral("NORMALIZING..."); break;
    case Operation::Parameters: status = QStringLiteral("STARTING..."); break;
    case Operation::None:
        status = m_link == Link::Linked ? QStringLiteral("READY")
            : m_link == Link::Handshake ? QStringLiteral("LINKING...")
                                        : QStringLiteral("LOCAL");
        break;
    }
    const QString link = m_link == Link::Linked ? QStringLiteral("PC")
        : m_plugged                             ? QStringLiteral("--")
                                                : QStringLiteral("  ");
    const QString battery = QStringLiteral("%1%2%")
                                .arg(BatteryPercent() < kLowBattery ? QStringLiteral("LOW ") : QString())
                                .arg(BatteryPercent());
    QStringList lines;
    lines << QStringLiteral("%1 %2 %3").arg(status, -15).arg(link, 2).arg(battery, 8);

    const int calIndex = CalIndex();
    const simulator::StandardRecord standard = m_store.Standard(calIndex);
    lines << QStringLiteral("CAL %1").arg(standard.cleared ? QStringLiteral("-- not calibrated --") : standard.name);

    if (!m_flash.isEmpty()) {
        lines << m_flash << QString();
    } else if (!m_shown.taken) {
        lines << QStringLiteral("GLOSS   ---     DOI   ---") << QStringLiteral("HZ2     ---     HZ15  ---");
    } else if (!m_shown.values.error.isEmpty() || standard.cleared) {
        lines << QStringLiteral("ERR") << (standard.cleared ? QStringLiteral("Not calibrated") : m_shown.values.error);
    } else {
        const simulator::Values v =
            simulator::Calibrated(m_shown.values, simulator::Standards()[size_t(calIndex)], true);
        lines << QStringLiteral("GLOSS%1 GU  DOI  %2").arg(v.specular, 7, 'f', 1).arg(v.doi, 5, 'f', 1);
        lines << QStringLiteral("HZ2  %1     HZ15 %2").arg(v.deg2, 7, 'f', 2).arg(v.deg15, 5, 'f', 2);
    }
    return lines.join(QLatin1Char('\n'));
}
