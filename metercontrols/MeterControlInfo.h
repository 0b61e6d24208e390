#pragma once
// What a meter control plug-in says about itself in its JSON metadata (the format is described
// in metercontrols/MeterControlPlugin.h), read from the plug-in file without loading it.
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

class QJsonObject;

struct MeterControlSetting {
    enum class Type { Text, Integer, Choice, Bool };
    QString key;
    Type type = Type::Text;
    QString defaultValue;  // as stored
    qint64 minimum = 0, maximum = 0;
    QStringList choices;
    QString caption;  // the field's label, with its & shortcut
    QString description;  // the field's tool tip

    // The stored text when it is a value of this setting, else nothing.
    std::optional<QString> Accepted(const QString& text) const;
};

struct MeterControlInfo {
    QString name;
    bool needsPort = false;
    QList<MeterControlSetting> settings;

    // The plug-in's metadata (the "MetaData" object of QPluginLoader::metaData()), or nothing
    // with the reason in problem.
    static std::optional<MeterControlInfo> FromJson(const QJsonObject& metaData, QString* problem);
    // The stored section with each of this control's settings that is missing or not one of its
    // values replaced by its default: what the plug-in builds its control from.
    QMap<QString, QString> WithDefaults(QMap<QString, QString> stored) const;
};
