#include "metercontrols/MeterControlInfo.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>

namespace {

const QMap<QString, MeterControlSetting::Type>& TypeNames()
{
    static const QMap<QString, MeterControlSetting::Type> names{
        {QStringLiteral("text"), MeterControlSetting::Type::Text},
        {QStringLiteral("integer"), MeterControlSetting::Type::Integer},
        {QStringLiteral("choice"), MeterControlSetting::Type::Choice},
        {QStringLiteral("bool"), MeterControlSetting::Type::Bool}};
    return names;
}

// A whole JSON number within the range a setting can hold.
std::optional<qint64> WholeNumber(const QJsonValue& value)
{
    if (!value.isDouble()) return std::nullopt;
    const double d = value.toDouble();
    if (d != std::floor(d) || std::fabs(d) > 9.0e15) return std::nullopt;
    return qint64(d);
}

// One entry of "Settings", or nothing with the reason in why.
std::optional<MeterControlSetting> ReadSetting(const QJsonObject& json, QString& why)
{
    MeterControlSetting s;
    s.key = json.value(QStringLiteral("Key")).toString();
    static const QRegularExpression keyPattern(QStringLiteral("^[A-Za-z][A-Za-z0-9]*$"));
    if (!keyPattern.match(s.key).hasMatch()) {
        why = QStringLiteral("a setting has no Key of letters and digits");
        return std::nullopt;
    }
    const auto fail = [&](const QString& what) {
        why = QStringLiteral("setting %1: %2").arg(s.key, what);
        return std::nullopt;
    };
    if (s.key == QLatin1String("Name") || s.key == QLatin1String("Port"))
        return fail(QStringLiteral("the key is the connection's own"));
    const QString typeName = json.value(QStringLiteral("Type")).toString();
    if (!TypeNames().contains(typeName)) return fail(QStringLiteral("Type must be text, integer, choice or bool"));
    s.type = TypeNames().value(typeName);
    s.caption = json.value(QStringLiteral("Caption")).toString(s.key + QLatin1Char(':'));
    s.description = json.value(QStringLiteral("Description")).toString();

    const QJsonValue def = json.value(QStringLiteral("Default"));
    const QJsonArray choices = json.value(QStringLiteral("Choices")).toArray();
    switch (s.type) {
    case MeterControlSetting::Type::Text:
        if (!def.isUndefined() && !def.isString()) return fail(QStringLiteral("Default must be text"));
        s.defaultValue = def.toString();
        break;
    case MeterControlSetting::Type::Bool:
        if (!def.isUndefined() && !def.isBool()) return fail(QStringLiteral("Default must be true or false"));
        s.defaultValue = def.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        break;
    case MeterControlSetting::Type::Integer: {
        const auto min = WholeNumber(json.value(QStringLiteral("Minimum")));
        const auto max = WholeNumber(json.value(QStringLiteral("Maximum")));
        if (!min || !max || *min > *max)
            return fail(QStringLiteral("Minimum and Maximum must be whole numbers, in order"));
        s.minimum = *min;
        s.maximum = *max;
        for (const QJsonValue& c : choices) {
            const auto n = WholeNumber(c);
            if (!n || *n < *min || *n > *max)
                return fail(QStringLiteral("each of Choices must be a whole number in range"));
            s.choices << QString::number(*n);
        }
        const auto n = WholeNumber(def);
        if (!n || *n < *min || *n > *max) return fail(QStringLiteral("Default must be a whole number in range"));
        s.defaultValue = QString::number(*n);
        break;
    }
    case MeterControlSetting::Type::Choice:
        for (const QJsonValue& c : choices) {
            if (!c.isString() || c.toString().isEmpty()) return fail(QStringLiteral("each of Choices must be a text"));
            s.choices << c.toString();
        }
        if (s.choices.isEmpty()) return fail(QStringLiteral("a choice needs Choices"));
        s.defaultValue = def.toString(s.choices.first());
        if (!s.choices.contains(s.defaultValue)) return fail(QStringLiteral("Default must be one of Choices"));
        break;
    }
    return s;
}

}  // namespace

std::optional<QString> MeterControlSetting::Accepted(const QString& text) const
{
    switch (type) {
    case Type::Text: return text;
    case Type::Integer: {
        bool ok = false;
        const qint64 n = text.trimmed().toLongLong(&ok);
        if (ok && n >= minimum && n <= maximum) return QString::number(n);
        return std::nullopt;
    }
    case Type::Choice:
        if (choices.contains(text)) return text;
        return std::nullopt;
    case Type::Bool:
        if (text == QLatin1String("True") || text == QLatin1String("False")) return text;
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<MeterControlInfo> MeterControlInfo::FromJson(const QJsonObject& metaData, QString* problem)
{
    QString why;
    MeterControlInfo info;
    info.name = metaData.value(QStringLiteral("Name")).toString().trimmed();
    const QJsonValue needsPort = metaData.value(QStringLiteral("NeedsPort"));
    const QJsonValue settings = metaData.value(QStringLiteral("Settings"));
    if (metaData.isEmpty()) why = QStringLiteral("it has no metadata (Q_PLUGIN_METADATA with FILE)");
    else if (info.name.isEmpty()) why = QStringLiteral("its metadata has no Name");
    else if (!needsPort.isUndefined() && !needsPort.isBool()) why = QStringLiteral("NeedsPort must be true or false");
    else if (!settings.isUndefined() && !settings.isArray()) why = QStringLiteral("Settings must be a list");
    info.needsPort = needsPort.toBool();
    for (const QJsonValue& entry : settings.toArray()) {
        if (!why.isEmpty()) break;
        const auto setting = ReadSetting(entry.toObject(), why);
        if (!setting) break;
        for (const MeterControlSetting& earlier : std::as_const(info.settings))
            if (earlier.key == setting->key) why = QStringLiteral("setting %1 is given twice").arg(setting->key);
        info.settings << *setting;
    }
    if (problem) *problem = why;
    if (!why.isEmpty()) return std::nullopt;
    return info;
}

QMap<QString, QString> MeterControlInfo::WithDefaults(QMap<QString, QString> stored) const
{
    for (const MeterControlSetting& s : settings) {
        const auto value = stored.contains(s.key) ? s.Accepted(stored.value(s.key)) : std::nullopt;
        stored.insert(s.key, value.value_or(s.defaultValue));
    }
    return stored;
}
