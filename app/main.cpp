// Glimora: the operator's application of the DOI/haze meter. The meter control is the plug-in
// named in [MeterControl] Name ("Simulated" unless the operator chose another).
#include <QApplication>
#include <QIcon>

#include "app/GlimoraApp.h"
#include "metercontrols/MeterControlLoader.h"
#include "metercontrols/MeterControlPlugin.h"
#include "metercontrols/MeterSlot.h"
#include "support/SettingsStore.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(dialogs);
    QCoreApplication::setOrganizationName(QStringLiteral("Glimora"));
    QCoreApplication::setApplicationName(QStringLiteral("Glimora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GLIMORA_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/glimora.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("glimora"));

    const support::SettingsStore& store = support::SettingsStore::Instance();
    const QString section = QStringLiteral("MeterControl");
    const QString name = store.GetSetting(section, QStringLiteral("Name"), QStringLiteral("Simulated"));
    QMap<QString, QString> settings;
    for (const QString& key : store.Keys(section)) settings.insert(key, store.GetSetting(section, key));

    MeterControlLoader loader;
    auto* meter = new MeterSlot(loader.Create(name, settings, nullptr));
    GlimoraApp window(meter);
    window.Load();
    if (MeterControlPlugin* plugin = loader.Plugin(name)) plugin->ShowWindows(meter->Control(), &window);
    return app.exec();
}
