#include "simulator/InstrumentStore.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cmath>
#include <optional>

#include "simulator/Optics.h"

namespace simulator {
namespace {

enum class Type { Bool, Int, Real, Text };

// Whole numbers lie in lo..hi; decimals strictly between lo and hi; text is cut to hi characters
// (0: any length).
struct Entry {
    const char* path;
    Type type;
    double lo, hi;
    const char* fallback;
};

const std::array<Entry, KeyCount>& Table()
{
    static const std::array<Entry, KeyCount> table = {{
        {"Instrument/Present", Type::Bool, 0, 0, "true"},
        {"Instrument/Plugged", Type::Bool, 0, 0, "true"},
        {"Instrument/PoweredOn", Type::Bool, 0, 0, "true"},
        {"Instrument/BatteryPercent", Type::Int, 0, 100, "100"},
        {"Instrument/SerialNumber", Type::Text, 0, 8, "HZ4120"},
        {"Instrument/Version", Type::Text, 0, 0, "2.14"},
        {"Instrument/Sample", Type::Int, 0, double(Samples().size() - 1), "0"},
        {"Instrument/AutoOffSeconds", Type::Int, 0, 86400, "300"},
        {"Instrument/HandshakeMs", Type::Int, 0, 60000, "600"},
        {"Instrument/Authority", Type::Int, 0, 9, "2"},
        {"Instrument/Seed", Type::Int, 0, 4294967295.0, "0"},
        {"Instrument/OccasionalInvalidReadings", Type::Bool, 0, 0, "true"},
        {"Settings/Center", Type::Int, 0, 255, "110"},
        {"Settings/RefCenter", Type::Int, 0, 255, "146"},
        {"Settings/Intensity", Type::Int, 0, 255, "45"},
        {"Settings/DutyCycle", Type::Int, 0, 300, "37"},
        {"Settings/RefDutyCycle", Type::Int, 0, 300, "85"},
        {"Settings/BlackLevel", Type::Int, 0, 65535, "32767"},
        {"Settings/Deg2Distortion", Type::Real, 0, 10, "1"},
        {"Settings/DOIDistortion", Type::Real, 0, 10, "1"},
        {"Settings/CalIndex", Type::Int, 0, StandardCount - 1, "0"},
        {"Settings/KeepAlive", Type::Bool, 0, 0, "false"},
        {"Settings/EnableButton", Type::Bool, 0, 0, "true"},
        {"Settings/ConstDC", Type::Bool, 0, 0, "false"},
        {"Panel/Visible", Type::Bool, 0, 0, "true"},
    }};
    return table;
}

// The factory calibration of each standard.
const char* const kFactoryCalibration[StandardCount] = {"2024-01-15T09:30:00", "2024-01-15T09:42:00",
                                                        "2024-01-15T09:55:00", "2024-01-15T10:07:00"};

std::optional<bool> BoolOf(const QVariant& v)
{
    const QString text = v.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) return true;
    if (text == QLatin1String("false") || text == QLatin1String("0")) return false;
    return std::nullopt;
}

// The value in the key's own type, or nothing when it lies outside the key's range.
std::optional<QVariant> Accepted(const Entry& e, const QVariant& v)
{
    if (!v.isValid()) return std::nullopt;
    bool ok = false;
    switch (e.type) {
    case Type::Bool:
        if (const auto b = BoolOf(v)) return QVariant(*b);
        return std::nullopt;
    case Type::Int: {
        const qint64 n = v.toLongLong(&ok);
        if (ok && n >= e.lo && n <= e.hi) return QVariant(n);
        return std::nullopt;
    }
    case Type::Real: {
        const double d = v.toDouble(&ok);
        if (ok && std::isfinite(d) && d > e.lo && d < e.hi) return QVariant(d);
        return std::nullopt;
    }
    case Type::Text: {
        const QString text = v.toString();
        return QVariant(e.hi > 0 ? text.left(int(e.hi)) : text);
    }
    }
    return std::nullopt;
}

QString StandardGroup(int index)
{
    return QStringLiteral("Standard%1/").arg(index);
}

// The path, once its folder exists.
QString InFolder(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return path;
}

}  // namespace

InstrumentStore::InstrumentStore(const QString& path)
    : m_file(InFolder(path), QSettings::IniFormat)
{
    for (int k = 0; k < KeyCount; ++k) {
        const Entry& e = Table()[size_t(k)];
        const QString key = QString::fromLatin1(e.path);
        m_values[size_t(k)] = Accepted(e, m_file.value(key)).value_or(*Accepted(e, QString::fromLatin1(e.fallback)));
        put(key, m_values[size_t(k)]);
    }
    for (int i = 0; i < StandardCount; ++i) {
        const QString group = StandardGroup(i);
        StandardRecord& s = m_standards[size_t(i)];
        s.name =
            m_file.value(group + QStringLiteral("Name"), QString::fromLatin1(Standards()[size_t(i)].name)).toString();
        s.cleared = BoolOf(m_file.value(group + QStringLiteral("Cleared"))).value_or(false);
        const QString when = m_file.value(group + QStringLiteral("Calibrated")).toString();
        s.calibrated = QDateTime::fromString(when, Qt::ISODate);
        if (s.cleared) s.calibrated = QDateTime();
        else if (!s.calibrated.isValid())
            s.calibrated = QDateTime::fromString(QString::fromLatin1(kFactoryCalibration[i]), Qt::ISODate);
        put(group + QStringLiteral("Name"), s.name);
        saveStandard(i);
    }
    m_file.sync();
}

QString InstrumentStore::DefaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Glimora/SimulatedMeter.ini");
}

bool InstrumentStore::Set(Key key, const QVariant& value)
{
    const Entry& e = Table()[size_t(key)];
    const auto accepted = Accepted(e, value);
    if (!accepted) return false;
    m_values[size_t(key)] = *accepted;
    save(QString::fromLatin1(e.path), *accepted);
    return true;
}

void InstrumentStore::SetStandard(int index, const StandardRecord& record)
{
    m_standards[size_t(index)] = record;
    saveStandard(index);
    m_file.sync();
}

QByteArray InstrumentStore::PanelGeometry() const
{
    return m_file.value(QStringLiteral("Panel/Geometry")).toByteArray();
}

void InstrumentStore::SetPanelGeometry(const QByteArray& geometry)
{
    save(QStringLiteral("Panel/Geometry"), geometry);
}

void InstrumentStore::save(const QString& path, const QVariant& value)
{
    m_file.setValue(path, value);
    m_file.sync();
}

void InstrumentStore::saveStandard(int index)
{
    const StandardRecord& s = m_standards[size_t(index)];
    const QString group = StandardGroup(index);
    put(group + QStringLiteral("Calibrated"), s.calibrated.isValid() ? s.calibrated.toString(Qt::ISODate) : QString());
    put(group + QStringLiteral("Cleared"), s.cleared);
}

// Sets a value unless the file holds it already, written the same: a start over a file that
// is complete and valid then writes nothing, instead of rewriting it and waiting for the disk.
void InstrumentStore::put(const QString& path, const QVariant& value)
{
    const QVariant stored = m_file.value(path);
    if (stored.isValid() && stored.canConvert<QString>() && value.canConvert<QString>()
        && stored.toString() == value.toString())
        return;
    m_file.setValue(path, value);
}

}  // namespace simulator
