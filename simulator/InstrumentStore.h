#pragma once
// The simulated instrument's own store: an INI file of its own, apart from the application's
// settings. One table gives every key its place in the file, its range and its default; loading,
// writing back and every change go through that table, so a value out of range is never kept.
#include <QByteArray>
#include <QDateTime>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <array>

namespace simulator {

enum class Key {
    // [Instrument]: the instrument and the condition it starts in
    Present,
    Plugged,
    PoweredOn,
    BatteryPercent,
    SerialNumber,
    Version,
    Sample,
    AutoOffSeconds,
    HandshakeMs,
    Authority,
    Seed,
    OccasionalInvalidReadings,
    // [Settings]: what the host sets
    Center,
    RefCenter,
    Intensity,
    DutyCycle,
    RefDutyCycle,
    BlackLevel,
    Deg2Distortion,
    DOIDistortion,
    CalIndex,
    KeepAlive,
    EnableButton,
    ConstDC,
    // [Panel]
    PanelVisible,
};
inline constexpr int KeyCount = int(Key::PanelVisible) + 1;
inline constexpr int StandardCount = 4;

// A calibration standard as the instrument keeps it.
struct StandardRecord {
    QString name;
    QDateTime calibrated;  // invalid while cleared
    bool cleared = false;
};

class InstrumentStore {
public:
    // Loads the file (a missing or unusable value takes its default) and writes every key back
    // with the value in force, so that the file shows them all.
    explicit InstrumentStore(const QString& path);

    // $XDG_CONFIG_HOME/Glimora/SimulatedMeter.ini
    static QString DefaultPath();

    bool Bool(Key key) const { return m_values[size_t(key)].toBool(); }
    qint64 Int(Key key) const { return m_values[size_t(key)].toLongLong(); }
    double Real(Key key) const { return m_values[size_t(key)].toDouble(); }
    QString Text(Key key) const { return m_values[size_t(key)].toString(); }

    // Takes a value inside the key's range (text is cut to the key's length) and saves it at
    // once; a value outside it is refused (false) and nothing changes.
    bool Set(Key key, const QVariant& value);

    StandardRecord Standard(int index) const { return m_standards[size_t(index)]; }
    void SetStandard(int index, const StandardRecord& record);

    QByteArray PanelGeometry() const;
    void SetPanelGeometry(const QByteArray& geometry);

private:
    void save(const QString& path, const QVariant& value);
    void saveStandard(int index);
    void put(const QString& path, const QVariant& value);

    QSettings m_file;
    std::array<QVariant, KeyCount> m_values;
    std::array<StandardRecord, StandardCount> m_standards;
};

}  // namespace simulator
