#include "metercontrols/serial/SerialSettings.h"

#include <array>
#include <limits>

namespace serialmeter {

namespace {

const std::array<Setting, 13> kSettings{{
    {Command::SerialNumber, &SettingValues::serialNumber, true},
    {Command::Center, &SettingValues::center, true},
    {Command::DutyCycle, &SettingValues::dutyCycle, true},
    {Command::RefCenter, &SettingValues::refCenter, true},
    {Command::RefDutyCycle, &SettingValues::refDutyCycle, true},
    {Command::Intensity, &SettingValues::intensity, true},
    {Command::BlackLevel, &SettingValues::blackLevel, true},
    {Command::Deg2Distortion, &SettingValues::deg2Distortion, true},
    {Command::DOIDistortion, &SettingValues::doiDistortion, true},
    {Command::CalIndex, &SettingValues::calIndex, true},
    {Command::KeepAlive, &SettingValues::keepAlive, true},
    {Command::EnableButton, &SettingValues::enableButton, false},
    {Command::ConstDC, &SettingValues::constDC, false},
}};

}  // namespace

std::span<const Setting> Settings()
{
    return kSettings;
}

const Setting* SettingOf(Command command)
{
    for (const Setting& s : kSettings)
        if (s.command == command) return &s;
    return nullptr;
}

QByteArray SettingText(const SettingValues& values, const Setting& setting)
{
    return std::visit(
        [&](auto member) -> QByteArray {
            const auto& v = values.*member;
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, QString>) return Quote(v);
            else if constexpr (std::is_same_v<T, bool>) return v ? "1" : "0";
            else if constexpr (std::is_same_v<T, double>) return Number(v);
            else return QByteArray::number(v);
        },
        setting.member);
}

bool TakeSetting(SettingValues& values, const Setting& setting, const QString& field)
{
    return std::visit(
        [&](auto member) -> bool {
            auto& v = values.*member;
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, QString>) {
                v = field;
                return true;
            } else if constexpr (std::is_same_v<T, bool>) {
                if (field != QLatin1String("0") && field != QLatin1String("1")) return false;
                v = field == QLatin1String("1");
                return true;
            } else if constexpr (std::is_same_v<T, double>) {
                const auto r = RealField(field);
                if (r) v = *r;
                return r.has_value();
            } else {
                return TakeWhole(field, v);
            }
        },
        setting.member);
}

}  // namespace serialmeter
