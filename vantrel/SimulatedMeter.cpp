#include "vantrel/SimulatedMeter.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "vantrel/AccessCode.h"
#include "vantrel/FrontPanel.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Optics. The light reflected by a sample, as a function of the angle (degrees) from the
// specular direction, is a narrow specular peak of energy E and width w, a haze shoulder that
// falls off exponentially, and a diffuse floor:
//     P(a) = E / (w sqrt(2 pi)) exp(-a^2 / 2w^2) + H exp(-|a| / d) + F
// The instrument reads every value off this profile as its detector array sees it.
struct Optics {
    const char* name;
    double energy, width, haze, decay, floor;
    double specularSd, doiSd;   // repeatability of placing the head on this sample
};

const Optics kSamples[] = {
    {"Black glass tile", 99.9, 0.09, 0.12, 1.0, 0.017, 0.15, 0.2},
    {"Black car topcoat", 86.97, 0.12, 1.99, 1.6, 0.18, 0.3, 0.3},
    {"Orange-peel panel", 53.1, 0.164, 8.35, 1.5, 0.88, 0.4, 0.45},
    {"Hazy clear coat", 44.8, 0.168, 19.2, 2.5, 2.28, 0.4, 0.5},
    {"Matte plastic", 0.6, 1.5, 0.3, 3.0, 0.6, 0.05, 0.5},
    {"Polished aluminium", 1739.0, 0.107, 84.9, 1.2, 2.47, 2.5, 0.3},
};
constexpr int kSampleCount = int(sizeof kSamples / sizeof kSamples[0]);

// The primary black glass that defines 100 gloss units.
const Optics kPrimary = {"primary", 100.0, 0.05, 0.02, 1.0, 0.005, 0, 0};

struct StandardDefault {
    const char* name;
    double scale;   // how the standard's assigned value sits against the primary
    const char* calibrated;
};
const StandardDefault kStandardDefaults[4] = {
    {"Black Glass", 1.000, "2024-01-15T09:30:00"},
    {"Gloss 60", 0.996, "2024-01-15T09:42:00"},
    {"Mid Gloss", 1.004, "2024-01-15T09:55:00"},
    {"Clear Coat", 0.998, "2024-01-15T10:07:00"},
};

constexpr int kOpticalCenter = 110;       // pixel of the true specular direction
constexpr int kOpticalRefCenter = 146;    // pixel of the true reference window
constexpr double kPixelDegrees = 0.05;
constexpr int kCenterTolerance = 12;      // pixels before the peak leaves the window
constexpr int kDefaultBlackLevel = 32767;
constexpr double kAreaHalfWidth = 0.9;    // specular window, pixel area average
constexpr double kTotalHalfWidth = 1.5;   // specular window, total energy
constexpr double kDoiOffset = 0.3;
constexpr double kHazeGain = 3.0;
constexpr double kPeakCountsTarget = 30000;
constexpr double kFullScale = 65535;
constexpr double kRefCountsNominal = 40000;
constexpr double kLowLightCounts = 4000;
constexpr int kLowBattery = 15;
constexpr double kScanStep = 0.1;
constexpr int kScanCenterIndex = 150;

double Square(double v) { return v * v; }

double Profile(const Optics& o, double angle)
{
    const double peak = o.energy / (o.width * std::sqrt(2 * std::numbers::pi)) * std::exp(-Square(angle) / (2 * Square(o.width)));
    return peak + o.haze * std::exp(-std::fabs(angle) / o.decay) + o.floor;
}

// The profile as the array sees it: shifted by a misplaced array center, raised or lowered by
// a wrong black level, and scaled by the reference measurement.
struct ArrayView {
    const Optics& optics;
    double shift = 0, offset = 0, gain = 1;
    double operator()(double x) const { return std::max(0.0, (Profile(optics, x + shift) + offset) * gain); }
};

double Integral(const ArrayView& v, double from, double to)
{
    const int steps = std::max(1, int((to - from) / 0.0025));
    const double h = (to - from) / steps;
    double sum = 0;
    for (int i = 0; i < steps; ++i) sum += v(from + (i + 0.5) * h);
    return sum * h;
}

// Mean of both sides of the profile between the two angles.
double SideMean(const ArrayView& v, double from, double to)
{
    return (Integral(v, from, to) + Integral(v, -to, -from)) / (2 * (to - from));
}

double PrimaryIntegral(double halfWidth)
{
    return Integral(ArrayView{kPrimary}, -halfWidth, halfWidth);
}

const char* const kChanceErrors[] = {
    "Sample moved during reading",
    "Stray light: keep the sample port covered",
    "Unstable signal: repeat the reading",
};

}  // namespace

// =============================================================================================

SimulatedMeter::SimulatedMeter(const SimulatedMeterOptions& options, QObject* parent)
    : VantrelCntl(parent)
    , m_options(options)
    , m_storePath(options.storePath.isEmpty() ? DefaultStorePath() : options.storePath)
{
    if (m_options.deterministic) {
        m_random.seed(m_options.seed);
        m_timing.seed(m_options.seed);
    } else {
        std::random_device device;
        m_random.seed(device());
        m_timing.seed(device());
    }

    QDir().mkpath(QFileInfo(m_storePath).absolutePath());
    m_store = std::make_unique<QSettings>(m_storePath, QSettings::IniFormat);
    loadStore();

    m_state = m_poweredOn ? 1 : 2;

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
    connect(&m_batteryTimer, &QTimer::timeout, this, &SimulatedMeter::batteryTick);
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
    if (m_panel) {
        m_store->setValue(QStringLiteral("Panel/Geometry"), m_panel->saveGeometry());
        m_store->sync();
    }
    m_panel.reset();
}

QString SimulatedMeter::DefaultStorePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Glimora/SimulatedMeter.ini");
}

QStringList SimulatedMeter::Samples()
{
    QStringList names;
    for (const Optics& o : kSamples) names << QString::fromLatin1(o.name);
    return names;
}

bool SimulatedMeter::PanelRemembered() const
{
    return m_store->value(QStringLiteral("Panel/Visible"), true).toBool();
}

QWidget* SimulatedMeter::FrontPanel()
{
    if (!m_panel) {
        m_panel = std::make_unique<MeterFrontPanel>(this);
        const QByteArray geometry = m_store->value(QStringLiteral("Panel/Geometry")).toByteArray();
        if (!geometry.isEmpty()) m_panel->restoreGeometry(geometry);
        connect(m_panel.get(), &MeterFrontPanel::VisibilityChosen, this, [this](bool visible) {
            // A program that has let go of the meter closes every window as it quits; only a
            // panel closed while the host holds the link is the operator's choice.
            if (!visible && !m_linkWanted) return;
            saveValue(QStringLiteral("Panel/Visible"), visible);
            if (m_panel) saveValue(QStringLiteral("Panel/Geometry"), m_panel->saveGeometry());
        });
    }
    return m_panel.get();
}

// ---------------------------------------------------------------------------------------------
// Store

namespace {
int IntIn(const QVariant& v, int lo, int hi, int fallback)
{
    bool ok = false;
    const int value = v.toInt(&ok);
    return ok && value >= lo && value <= hi ? value : fallback;
}

double DoubleIn(const QVariant& v, double lo, double hi, double fallback)
{
    bool ok = false;
    const double value = v.toDouble(&ok);
    return ok && std::isfinite(value) && value > lo && value < hi ? value : fallback;
}

bool BoolOf(const QVariant& v, bool fallback)
{
    const QString text = v.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) return true;
    if (text == QLatin1String("false") || text == QLatin1String("0")) return false;
    return fallback;
}
}  // namespace

void SimulatedMeter::loadStore()
{
    QSettings& s = *m_store;
    m_present = BoolOf(s.value(QStringLiteral("Instrument/Present")), true);
    m_plugged = BoolOf(s.value(QStringLiteral("Instrument/Plugged")), true);
    m_poweredOn = BoolOf(s.value(QStringLiteral("Instrument/PoweredOn")), true);
    m_battery = IntIn(s.value(QStringLiteral("Instrument/BatteryPercent")), 0, 100, 100);
    m_serial = s.value(QStringLiteral("Instrument/SerialNumber"), QStringLiteral("HZ4120")).toString().left(8);
    m_version = s.value(QStringLiteral("Instrument/Version"), QStringLiteral("2.14")).toString();
    m_sample = IntIn(s.value(QStringLiteral("Instrument/Sample")), 0, kSampleCount - 1, 0);
    m_autoOffSeconds = IntIn(s.value(QStringLiteral("Instrument/AutoOffSeconds")), 0, 86400, 300);
    m_handshakeMs = IntIn(s.value(QStringLiteral("Instrument/HandshakeMs")), 0, 60000, 600);
    m_unlockedAuthority = int16_t(IntIn(s.value(QStringLiteral("Instrument/Authority")), 0, 9, 2));

    m_center = int16_t(IntIn(s.value(QStringLiteral("Settings/Center")), 0, 255, 110));
    m_refCenter = int16_t(IntIn(s.value(QStringLiteral("Settings/RefCenter")), 0, 255, 146));
    m_intensity = int16_t(IntIn(s.value(QStringLiteral("Settings/Intensity")), 0, 255, 45));
    m_dutyCycle = int16_t(IntIn(s.value(QStringLiteral("Settings/DutyCycle")), 0, 300, 37));
    m_refDutyCycle = int16_t(IntIn(s.value(QStringLiteral("Settings/RefDutyCycle")), 0, 300, 85));
    m_blackLevel = IntIn(s.value(QStringLiteral("Settings/BlackLevel")), 0, 65535, kDefaultBlackLevel);
    m_deg2Distortion = DoubleIn(s.value(QStringLiteral("Settings/Deg2Distortion")), 0, 10, 1.0);
    m_doiDistortion = DoubleIn(s.value(QStringLiteral("Settings/DOIDistortion")), 0, 10, 1.0);
    m_calIndex = int16_t(IntIn(s.value(QStringLiteral("Settings/CalIndex")), 0, 3, 0));
    m_keepAlive = BoolOf(s.value(QStringLiteral("Settings/KeepAlive")), false);
    m_enableButton = BoolOf(s.value(QStringLiteral("Settings/EnableButton")), true);
    m_constDC = BoolOf(s.value(QStringLiteral("Settings/ConstDC")), false);

    for (int i = 0; i < 4; ++i) {
        const QString group = QStringLiteral("Standard%1/").arg(i);
        Standard& standard = m_standards[size_t(i)];
        standard.name = s.value(group + QStringLiteral("Name"), QString::fromLatin1(kStandardDefaults[i].name)).toString();
        standard.cleared = BoolOf(s.value(group + QStringLiteral("Cleared")), false);
        const QString when = s.value(group + QStringLiteral("Calibrated"), QString::fromLatin1(kStandardDefaults[i].calibrated)).toString();
        standard.calibrated = QDateTime::fromString(when, Qt::ISODate);
        if (!standard.calibrated.isValid() && !standard.cleared)
            standard.calibrated = QDateTime::fromString(QString::fromLatin1(kStandardDefaults[i].calibrated), Qt::ISODate);
    }
    if (m_battery <= 0) m_poweredOn = false;

    // Write everything back, so that the file shows every key with the value in force.
    s.setValue(QStringLiteral("Instrument/Present"), m_present);
    s.setValue(QStringLiteral("Instrument/Plugged"), m_plugged);
    s.setValue(QStringLiteral("Instrument/PoweredOn"), m_poweredOn);
    s.setValue(QStringLiteral("Instrument/BatteryPercent"), BatteryPercent());
    s.setValue(QStringLiteral("Instrument/SerialNumber"), m_serial);
    s.setValue(QStringLiteral("Instrument/Version"), m_version);
    s.setValue(QStringLiteral("Instrument/Sample"), m_sample);
    s.setValue(QStringLiteral("Instrument/AutoOffSeconds"), m_autoOffSeconds);
    s.setValue(QStringLiteral("Instrument/Authority"), m_unlockedAuthority);
    s.setValue(QStringLiteral("Settings/Center"), m_center);
    s.setValue(QStringLiteral("Settings/RefCenter"), m_refCenter);
    s.setValue(QStringLiteral("Settings/Intensity"), m_intensity);
    s.setValue(QStringLiteral("Settings/DutyCycle"), m_dutyCycle);
    s.setValue(QStringLiteral("Settings/RefDutyCycle"), m_refDutyCycle);
    s.setValue(QStringLiteral("Settings/BlackLevel"), m_blackLevel);
    s.setValue(QStringLiteral("Settings/Deg2Distortion"), m_deg2Distortion);
    s.setValue(QStringLiteral("Settings/DOIDistortion"), m_doiDistortion);
    s.setValue(QStringLiteral("Settings/CalIndex"), m_calIndex);
    s.setValue(QStringLiteral("Settings/KeepAlive"), m_keepAlive);
    s.setValue(QStringLiteral("Settings/EnableButton"), m_enableButton);
    s.setValue(QStringLiteral("Settings/ConstDC"), m_constDC);
    for (int i = 0; i < 4; ++i) {
        const QString group = QStringLiteral("Standard%1/").arg(i);
        s.setValue(group + QStringLiteral("Name"), m_standards[size_t(i)].name);
    }
    for (int i = 0; i < 4; ++i) saveStandard(i);
    s.sync();
}

void SimulatedMeter::saveValue(const QString& key, const QVariant& value)
{
    m_store->setValue(key, value);
    m_store->sync();
}

void SimulatedMeter::saveStandard(int index)
{
    const Standard& standard = m_standards[size_t(index)];
    const QString group = QStringLiteral("Standard%1/").arg(index);
    m_store->setValue(group + QStringLiteral("Calibrated"), standard.calibrated.isValid() ? standard.calibrated.toString(Qt::ISODate) : QString());
    m_store->setValue(group + QStringLiteral("Cleared"), standard.cleared);
    m_store->sync();
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
    return m_options.deterministic ? 0 : ms;
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
    m_linkTimer.start(delay(m_handshakeMs));
    emit PanelChanged();
}

void SimulatedMeter::finishHandshake()
{
    if (m_link != Link::Handshake) return;
    if (!m_linkWanted || !reachable()) {
        m_link = Link::Lost;
        emit PanelChanged();
        emit MeterEvent(2);   // not found
        return;
    }
    m_link = Link::Linked;
    m_everLinked = true;
    report(2);
    if (m_link != Link::Linked || m_op != Operation::None) return;
    wakeUp();
}

// Reads the instrument's parameters (state 0), then idles.
void SimulatedMeter::wakeUp()
{
    beginOperation(Operation::Parameters, 0, 400, [this] {
        finishToIdle();
        checkLowBattery();
    });
    report(1);
}

void SimulatedMeter::loseLink()
{
    m_linkTimer.stop();
    if (m_op != Operation::None) abortOperation();
    const bool wasLinked = m_link == Link::Linked;
    m_link = Link::Lost;
    m_authority = 1;
    emit PanelChanged();
    if (wasLinked) emit MeterEvent(2);
}

void SimulatedMeter::SetCablePlugged(bool plugged)
{
    if (plugged == m_plugged) return;
    m_plugged = plugged;
    saveValue(QStringLiteral("Instrument/Plugged"), plugged);
    if (!plugged) {
        if (m_link == Link::Linked) loseLink();
        else emit PanelChanged();
        return;
    }
    if (m_linkWanted && m_poweredOn && m_present && (m_link == Link::Lost || m_link == Link::Closed)) startHandshake();
    else emit PanelChanged();
}

// ---------------------------------------------------------------------------------------------
// Operations

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
    m_state = m_poweredOn ? 1 : 2;
    touch();
}

void SimulatedMeter::finishToIdle()
{
    m_op = Operation::None;
    m_state = 1;
    touch();
    report(10);
}

bool SimulatedMeter::TakeReading()
{
    if (!readyForCommand()) return false;
    const int ms = m_options.deterministic ? 0 : std::uniform_int_distribution<int>(1000, 2000)(m_timing);
    beginOperation(Operation::Reading, 1, ms, [this] { takeMeasurement(); });
    report(9);
    return true;
}

void SimulatedMeter::PressMeasureButton()
{
    if (!m_poweredOn || !m_present) return;
    if (!m_enableButton) {
        m_flash = QStringLiteral("BUTTON DISABLED");
        m_flashTimer.start(2000);
        touch();
        emit PanelChanged();
        return;
    }
    if (m_op != Operation::None || m_link == Link::Handshake) return;
    // The meter measures on its own button whether or not a host is listening.
    const int ms = m_options.deterministic ? 0 : std::uniform_int_distribution<int>(1000, 2000)(m_timing);
    beginOperation(Operation::Reading, 1, ms, [this] { takeMeasurement(); });
    report(9);
}

void SimulatedMeter::takeMeasurement()
{
    m_last = measure();
    m_shown = m_last;
    ++m_readingsSinceCorrection;
    drain(0.02);
    if (m_op != Operation::Reading) return;   // the battery gave out
    report(12);
    if (m_op != Operation::Reading) return;   // cancelled, switched off or unlinked meanwhile
    finishToIdle();
}

bool SimulatedMeter::Scan(bool start)
{
    if (!start) {
        if (m_op != Operation::Scan) return false;
        abortOperation();
        report(10);
        return true;
    }
    if (!readyForCommand()) return false;
    beginOperation(Operation::Scan, 3, 2500, [this] {
        fillScan();
        drain(0.1);
        if (m_op != Operation::Scan) return;
        report(21);
        if (m_op != Operation::Scan) return;
        finishToIdle();
    });
    report(9);
    return true;
}

bool SimulatedMeter::Calibrate()
{
    if (!readyForCommand()) return false;
    const int index = m_calIndex;
    beginOperation(Operation::Calibration, 4, 3000, [this, index] {
        Standard& standard = m_standards[size_t(index)];
        QDateTime now = QDateTime::currentDateTime();
        now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
        standard.calibrated = now;
        standard.cleared = false;
        saveStandard(index);
        m_readingsSinceCorrection = 0;
        drain(0.1);
        if (m_op != Operation::Calibration) return;
        finishToIdle();
    });
    report(9);
    return true;
}

bool SimulatedMeter::AdvancedCorrection()
{
    if (!readyForCommand()) return false;
    beginOperation(Operation::Correction, 4, 2500, [this] {
        m_readingsSinceCorrection = 0;
        drain(0.05);
        if (m_op != Operation::Correction) return;
        finishToIdle();
    });
    report(9);
    return true;
}

bool SimulatedMeter::Normalize()
{
    if (!readyForCommand()) return false;
    beginOperation(Operation::Normalizing, 1, 400, [this] { finishToIdle(); });
    report(9);
    return true;
}

void SimulatedMeter::UpdateInfo()
{
    if (!readyForCommand()) return;
    m_store->sync();
    beginOperation(Operation::Parameters, 0, 500, [this] { finishToIdle(); });
    report(1);
}

void SimulatedMeter::ClearCalibration()
{
    if (!readyForCommand()) return;
    for (int i = 0; i < 4; ++i) {
        m_standards[size_t(i)].cleared = true;
        m_standards[size_t(i)].calibrated = QDateTime();
        saveStandard(i);
    }
    touch();
    report(1);
}

void SimulatedMeter::Cancel()
{
    if (m_op != Operation::None && m_op != Operation::Parameters) {
        abortOperation();
        report(10);
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

void SimulatedMeter::PressPowerButton()
{
    if (!m_present) return;
    if (m_poweredOn) powerOff();
    else if (m_battery > 0) powerOn();
    else {
        m_flash = QStringLiteral("BATTERY EMPTY");
        m_flashTimer.start(2000);
        emit PanelChanged();
    }
}

void SimulatedMeter::powerOn()
{
    if (m_poweredOn) return;
    m_poweredOn = true;
    saveValue(QStringLiteral("Instrument/PoweredOn"), true);
    m_state = 1;
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
    m_poweredOn = false;
    m_state = 2;
    m_autoOffTimer.stop();
    m_batteryTimer.stop();
    m_flash.clear();
    saveValue(QStringLiteral("Instrument/PoweredOn"), false);
    report(3);
}

void SimulatedMeter::touch()
{
    if (m_poweredOn && !m_keepAlive && m_autoOffSeconds > 0 && m_op == Operation::None)
        m_autoOffTimer.start(m_autoOffSeconds * 1000);
    else
        m_autoOffTimer.stop();
}

void SimulatedMeter::autoOff()
{
    if (!m_poweredOn || m_keepAlive) return;
    if (m_op != Operation::None) return;   // restarted when the operation ends
    powerOff();
}

void SimulatedMeter::batteryTick()
{
    if (m_poweredOn) drain(0.1);
}

void SimulatedMeter::drain(double percent)
{
    setBattery(m_battery - percent);
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
    if (BatteryPercent() != before) saveValue(QStringLiteral("Instrument/BatteryPercent"), BatteryPercent());
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
    if (m_lowWarned || !m_poweredOn || m_link != Link::Linked || m_state == 0) return;
    m_lowWarned = true;
    report(6);
}

int32_t SimulatedMeter::BatteryState() const
{
    if (m_link != Link::Linked) return 0;
    return BatteryPercent() < kLowBattery ? 1 : 2;
}

int32_t SimulatedMeter::MeterState() const
{
    return m_poweredOn ? m_state : 2;
}

// ---------------------------------------------------------------------------------------------
// Identity, access and settings

QString SimulatedMeter::Version() const
{
    return m_everLinked ? m_version : QString();
}

QString SimulatedMeter::SerialNumber() const
{
    return m_everLinked ? m_serial : QString();
}

void SimulatedMeter::SetSerialNumber(const QString& value)
{
    m_serial = value.left(8);
    saveValue(QStringLiteral("Instrument/SerialNumber"), m_serial);
    emit PanelChanged();
}

bool SimulatedMeter::Unlock(double accessCode)
{
    const bool ok = accessCode == GlimoraAccessCode();
    m_authority = ok ? m_unlockedAuthority : int16_t(1);
    return ok;
}

void SimulatedMeter::SetCalIndex(int16_t value)
{
    if (value < 0 || value > 3) return;
    m_calIndex = value;
    saveValue(QStringLiteral("Settings/CalIndex"), int(value));
    emit PanelChanged();
}

void SimulatedMeter::SetKeepAlive(bool value)
{
    m_keepAlive = value;
    saveValue(QStringLiteral("Settings/KeepAlive"), value);
    touch();
}

void SimulatedMeter::SetEnableButton(bool value)
{
    m_enableButton = value;
    saveValue(QStringLiteral("Settings/EnableButton"), value);
}

void SimulatedMeter::SetConstDC(bool value)
{
    m_constDC = value;
    saveValue(QStringLiteral("Settings/ConstDC"), value);
}

void SimulatedMeter::SetCenter(int16_t value)
{
    if (value < 0 || value > 255) return;
    m_center = value;
    saveValue(QStringLiteral("Settings/Center"), int(value));
}

void SimulatedMeter::SetDutyCycle(int16_t value)
{
    if (value < 0 || value > 300) return;
    m_dutyCycle = value;
    saveValue(QStringLiteral("Settings/DutyCycle"), int(value));
}

void SimulatedMeter::SetRefCenter(int16_t value)
{
    if (value < 0 || value > 255) return;
    m_refCenter = value;
    saveValue(QStringLiteral("Settings/RefCenter"), int(value));
}

void SimulatedMeter::SetRefDutyCycle(int16_t value)
{
    if (value < 0 || value > 300) return;
    m_refDutyCycle = value;
    saveValue(QStringLiteral("Settings/RefDutyCycle"), int(value));
}

void SimulatedMeter::SetIntensity(int16_t value)
{
    if (value < 0 || value > 255) return;
    m_intensity = value;
    saveValue(QStringLiteral("Settings/Intensity"), int(value));
}

void SimulatedMeter::SetBlackLevel(int32_t value)
{
    if (value < 0 || value > 65535) return;
    m_blackLevel = value;
    saveValue(QStringLiteral("Settings/BlackLevel"), value);
}

void SimulatedMeter::SetDeg2Distortion(double value)
{
    if (!std::isfinite(value) || value <= 0 || value >= 10) return;
    m_deg2Distortion = value;
    saveValue(QStringLiteral("Settings/Deg2Distortion"), value);
}

void SimulatedMeter::SetDOIDistortion(double value)
{
    if (!std::isfinite(value) || value <= 0 || value >= 10) return;
    m_doiDistortion = value;
    saveValue(QStringLiteral("Settings/DOIDistortion"), value);
}

void SimulatedMeter::SetSample(int index)
{
    if (index < 0 || index >= kSampleCount || index == m_sample) return;
    m_sample = index;
    saveValue(QStringLiteral("Instrument/Sample"), index);
    emit PanelChanged();
}

// ---------------------------------------------------------------------------------------------
// Measuring

namespace {
// How the optics and the settings in force meet on the detector.
struct Setup {
    ArrayView view;
    double refCounts = 0;
    double peakCounts = 0;     // detector counts at the peak, after ranging
    double noiseScale = 1;
    bool saturated = false;
    QString error;
};

Setup MakeSetup(const Optics& o, int center, int refCenter, int intensity, int dutyCycle, int refDutyCycle, int blackLevel,
                bool constDC)
{
    Setup s{ArrayView{o}, 0, 0, 1, false, QString()};
    const double refGain = std::exp(-Square((refCenter - kOpticalRefCenter) / 5.0));
    s.view.shift = (center - kOpticalCenter) * kPixelDegrees;
    s.view.offset = double(kDefaultBlackLevel - blackLevel) / kDefaultBlackLevel * 0.3;
    s.view.gain = refGain > 1e-9 ? 1.0 / refGain : 0.0;
    s.refCounts = kRefCountsNominal * (intensity / 45.0) * (refDutyCycle / 85.0) * refGain;

    const double relativePeak = Profile(o, 0) / Profile(kPrimary, 0);
    auto countsAt = [&](double duty) { return kPeakCountsTarget * relativePeak * (intensity / 45.0) * (duty / 37.0); };
    double duty = dutyCycle;
    if (!constDC && dutyCycle > 0 && intensity > 0) {
        // Ranging: the duty cycle follows the sample so that the peak sits near the target counts.
        duty = std::min(300.0, dutyCycle * std::min(4.0, kPeakCountsTarget / countsAt(dutyCycle)));
    }
    s.peakCounts = countsAt(duty);
    s.saturated = s.peakCounts > kFullScale;
    const double sampleNoise = std::sqrt(kPeakCountsTarget / std::max(1.0, std::min(s.peakCounts, kFullScale)));
    const double refNoise = s.refCounts > 1 ? kRefCountsNominal / s.refCounts : 1e4;
    s.noiseScale = std::clamp(sampleNoise * std::sqrt(0.8 + 0.2 * refNoise), 0.5, 5.0);

    if (intensity <= 0) s.error = QStringLiteral("No light: LED intensity is 0");
    else if (dutyCycle <= 0) s.error = QStringLiteral("No light: duty cycle is 0");
    else if (s.refCounts > kFullScale) s.error = QStringLiteral("Reference signal saturated");
    else if (s.refCounts < kLowLightCounts) s.error = QStringLiteral("Reference signal too low");
    else if (std::abs(center - kOpticalCenter) > kCenterTolerance) s.error = QStringLiteral("Specular peak outside the measuring window");
    else if (s.saturated) s.error = QStringLiteral("Detector saturated: lower the duty cycle");
    return s;
}
}  // namespace

SimulatedMeter::Measurement SimulatedMeter::measure()
{
    const Optics& o = kSamples[m_sample];
    const Setup setup = MakeSetup(o, m_center, m_refCenter, m_intensity, m_dutyCycle, m_refDutyCycle, m_blackLevel, m_constDC);
    const ArrayView& v = setup.view;
    const bool dark = m_intensity <= 0 || m_dutyCycle <= 0;

    static const double primaryArea = PrimaryIntegral(kAreaHalfWidth);
    static const double primaryTotal = PrimaryIntegral(kTotalHalfWidth);

    Measurement m;
    m.taken = true;
    m.when = QDateTime::currentDateTime();
    const double area = dark ? 0 : Integral(v, -kAreaHalfWidth, kAreaHalfWidth);
    const double total = dark ? 0 : Integral(v, -kTotalHalfWidth, kTotalHalfWidth);
    const double drift = 1.0 + 0.0002 * std::min(m_readingsSinceCorrection, 50);
    m.specular = area / primaryArea * 100 * drift;
    m.specularTotal = total / primaryTotal * 100 * drift;
    const double centre = dark ? 0 : v(0);
    const double side = dark ? 0 : (v(-kDoiOffset) + v(kDoiOffset)) / 2;
    m.doi = centre > 0 ? 100 * (1 - side / centre) : 0;
    m.doi = 100 - (100 - std::clamp(m.doi, 0.0, 100.0)) * m_doiDistortion;
    m.deg2 = area > 0 ? 100 * kHazeGain * SideMean(v, 1.8, 2.2) / area * m_deg2Distortion : 0;
    m.deg15 = area > 0 ? 100 * kHazeGain * SideMean(v, 14.0, 15.0) / area : 0;

    // Repeatability: placing the head, detector and reference noise.
    auto gauss = [this] { return std::normal_distribution<double>(0.0, 1.0)(m_random); };
    const double ns = setup.noiseScale;
    const double glossNoise = gauss() * o.specularSd * ns;
    m.specular = std::max(0.0, m.specular + glossNoise);
    m.specularTotal = std::max(0.0, m.specularTotal + glossNoise * m.specularTotal / std::max(m.specular, 1e-9));
    m.doi = m.doi + gauss() * o.doiSd * ns;
    m.doi = std::max(0.0, 100 - std::fabs(100 - m.doi));   // noise never lifts DOI above its ceiling
    m.deg2 = std::max(0.0, m.deg2 * (1 + 0.02 * ns * gauss()) + 0.02 * ns * gauss());
    m.deg15 = std::max(0.0, m.deg15 * (1 + 0.03 * ns * gauss()));

    m.error = setup.error;
    if (m.error.isEmpty() && m.specular < 5.0) m.error = QStringLiteral("Sample gloss too low for DOI");
    if (!m_options.deterministic) {
        const double chance = std::uniform_real_distribution<double>(0.0, 1.0)(m_random);
        if (m.error.isEmpty() && chance < 0.02) {
            const int which = std::uniform_int_distribution<int>(0, 2)(m_random);
            m.error = QString::fromLatin1(kChanceErrors[which]);
        }
    }
    if (BatteryPercent() < kLowBattery) m.notice = QStringLiteral("Battery low");
    return m;
}

void SimulatedMeter::fillScan()
{
    const Optics& o = kSamples[m_sample];
    const Setup setup = MakeSetup(o, m_center, m_refCenter, m_intensity, m_dutyCycle, m_refDutyCycle, m_blackLevel, m_constDC);
    const bool dark = m_intensity <= 0 || m_dutyCycle <= 0;
    // What full scale of the detector means in profile units.
    const double clip = setup.saturated ? setup.view(-setup.view.shift) * kFullScale / setup.peakCounts : 0;

    m_scan.Clear();
    for (int i = 0; i < ScanData::PointCount; ++i) {
        const double x = (i - kScanCenterIndex) * kScanStep;
        double value = dark ? std::max(0.0, setup.view.offset) : setup.view(x);
        const double sd = 0.003 * value + 0.01 * setup.noiseScale;
        value += std::normal_distribution<double>(0.0, sd)(m_random);
        if (setup.saturated) value = std::min(value, clip);
        value = std::max(0.0, value);
        m_scan.SetPoint(i, std::round(value * 1000) / 1000);
    }
    m_scan.HasData = true;
}

void SimulatedMeter::GetReading(MeterReading& reading, int16_t calIndex)
{
    reading.SerialNo = m_serial;
    reading.TimeStamp = m_last.taken ? m_last.when : QDateTime::currentDateTime();
    if (calIndex < 0 || calIndex > 3) {
        reading.Valid = false;
        reading.SetCalStd(QString());
        reading.CalTimeStamp = QDateTime();
        reading.SetValues(0, 0, 0, 0);
        reading.SetMessage(QStringLiteral("No such calibration standard"));
        return;
    }
    const Standard& standard = m_standards[size_t(calIndex)];
    reading.SetCalStd(standard.name);
    reading.CalTimeStamp = standard.cleared ? QDateTime() : standard.calibrated;
    if (!m_last.taken) {
        reading.Valid = false;
        reading.SetValues(0, 0, 0, 0);
        reading.SetMessage(QStringLiteral("No reading taken"));
        return;
    }
    const double scale = kStandardDefaults[calIndex].scale;
    reading.SetValues((reading.PixelAvg ? m_last.specular : m_last.specularTotal) * scale, m_last.doi, m_last.deg2, m_last.deg15);
    if (standard.cleared) {
        reading.Valid = false;
        reading.SetMessage(QStringLiteral("Not calibrated"));
    } else if (!m_last.error.isEmpty()) {
        reading.Valid = false;
        reading.SetMessage(m_last.error);
    } else {
        reading.Valid = true;
        reading.SetMessage(m_last.notice);
    }
}

void SimulatedMeter::GetScanData(ScanData& scan)
{
    scan = m_scan;
}

// ---------------------------------------------------------------------------------------------
// Display

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
        status = m_link == Link::Linked ? QStringLiteral("READY") : m_link == Link::Handshake ? QStringLiteral("LINKING...") : QStringLiteral("LOCAL");
        break;
    }
    const QString link = m_link == Link::Linked ? QStringLiteral("PC") : m_plugged ? QStringLiteral("--") : QStringLiteral("  ");
    const QString battery = QStringLiteral("%1%2%").arg(BatteryPercent() < kLowBattery ? QStringLiteral("LOW ") : QString()).arg(BatteryPercent());
    QStringList lines;
    lines << QStringLiteral("%1 %2 %3").arg(status, -15).arg(link, 2).arg(battery, 8);

    const Standard& standard = m_standards[size_t(m_calIndex)];
    lines << QStringLiteral("CAL %1").arg(standard.cleared ? QStringLiteral("-- not calibrated --") : standard.name);

    if (!m_flash.isEmpty()) {
        lines << m_flash << QString();
    } else if (!m_shown.taken) {
        lines << QStringLiteral("GLOSS   ---     DOI   ---") << QStringLiteral("HZ2     ---     HZ15  ---");
    } else if (!m_shown.error.isEmpty() || standard.cleared) {
        lines << QStringLiteral("ERR") << (standard.cleared ? QStringLiteral("Not calibrated") : m_shown.error);
    } else {
        const double gloss = m_shown.specular * kStandardDefaults[m_calIndex].scale;
        lines << QStringLiteral("GLOSS%1 GU  DOI  %2").arg(gloss, 7, 'f', 1).arg(m_shown.doi, 5, 'f', 1);
        lines << QStringLiteral("HZ2  %1     HZ15 %2").arg(m_shown.deg2, 7, 'f', 2).arg(m_shown.deg15, 5, 'f', 2);
    }
    return lines.join(QLatin1Char('\n'));
}
