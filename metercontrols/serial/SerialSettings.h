#pragma once
// The settings the meter keeps, in one table: its command word, its kind, and where the control
// holds it. The handshake asks for every setting the meter can answer, a write sends one and
// asks it back (the meter may refuse or cut a value), all through this table.
#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>

#include "metercontrols/serial/SerialProtocol.h"

namespace serialmeter {

// What the control last knew of the meter's settings.
struct SettingValues {
    QString serialNumber;
    int16_t center = 0, dutyCycle = 0, refCenter = 0, refDutyCycle = 0, intensity = 0, calIndex = 0;
    int32_t blackLevel = 0;
    double deg2Distortion = 0, doiDistortion = 0;
    bool keepAlive = false, enableButton = false, constDC = false;
};

struct Setting {
    Command command;
    std::variant<int16_t SettingValues::*, int32_t SettingValues::*, double SettingValues::*, bool SettingValues::*,
                 QString SettingValues::*>
        member;
    bool readBack;  // the meter answers its query (false: written only)
};

std::span<const Setting> Settings();
const Setting* SettingOf(Command command);
// The setting's value as it is written on the line.
QByteArray SettingText(const SettingValues& values, const Setting& setting);
// Takes one answered field into values; false when it is not a value of the setting's kind.
bool TakeSetting(SettingValues& values, const Setting& setting, const QString& field);

}  // namespace serialmeter
