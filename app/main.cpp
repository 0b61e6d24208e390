// Glimora: the operator's application of the DOI/haze meter. The meter control is the plug-in
// named in [MeterControl] Name ("Simulated" unless the operator chose another).
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QMessageBox>
#include <memory>

#include "app/DesktopSounds.h"
#include "app/GlimoraApp.h"
#include "app/ShutdownSignals.h"
#include "app/SingleCopy.h"
#include "metercontrols/MeterControlLoader.h"
#include "metercontrols/MeterControlPlugin.h"
#include "metercontrols/MeterSlot.h"
#include "resources/GlimoraIcon.h"
#include "support/SettingsStore.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Glimora"));
    QCoreApplication::setApplicationName(QStringLiteral("Glimora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GLIMORA_VERSION));
    QApplication::setWindowIcon(GlimoraIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("glimora"));
    DesktopSoundSink sounds;
    support::SetSounds(&sounds);

    // A second start for the same settings brings the running window to the front and ends
    // before it has read (and could later write back) a snapshot of the settings.
    const QString settingsFolder = QFileInfo(support::SettingsStore::DefaultPath()).absolutePath();
    SingleCopy copy(settingsFolder);
    switch (copy.Start()) {
    case SingleCopy::Outcome::Alone: break;
    case SingleCopy::Outcome::HandedOver: return 0;
    case SingleCopy::Outcome::NoAnswer:
        QMessageBox::warning(
            nullptr, QStringLiteral("Glimora"),
            QStringLiteral("Glimora is already running with the settings in %1, but it does not answer. "
                           "Close it, or end it, before starting Glimora again.")
                .arg(QDir::toNativeSeparators(settingsFolder)));
        return 1;
    }

    auto store = std::make_unique<support::SettingsStore>(support::SettingsStore::DefaultPath());
    const QString section = QStringLiteral("MeterControl");
    const QString name = store->GetSetting(section, QStringLiteral("Name"), QStringLiteral("Simulated"));
    QMap<QString, QString> settings;
    for (const QString& key : store->Keys(section)) settings.insert(key, store->GetSetting(section, key));

    // The window keeps the slot for its whole life; Meter > Connection... changes what it holds.
    MeterControlLoader loader;
    auto* meter = new MeterSlot(loader.Create(name, settings, nullptr));
    GlimoraApp window(meter, std::move(store));
    QObject::connect(&copy, &SingleCopy::Asked, &window, [&window] {
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
        window.raise();
        window.activateWindow();
        // A dialog the operator has yet to answer comes up with it.
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            dialog->raise();
            dialog->activateWindow();
        }
    });
    // Until the window is loaded nothing has changed that a signal could lose: SIGTERM and the
    // others keep their default action during the password warning.
    window.Load();
    ShutdownSignals shutdown(window);
    // The control's own windows (the simulated instrument's front panel) beside the main window.
    if (MeterControlPlugin* plugin = loader.Plugin(name)) plugin->ShowWindows(meter->Control(), &window);
    const int status = app.exec();
    support::SetSounds(nullptr);
    return status;
}
