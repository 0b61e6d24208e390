// Glimora: the operator's application of the DOI/haze meter, here on the simulated instrument.
#include <QApplication>
#include <memory>

#include "app/DesktopSounds.h"
#include "app/GlimoraApp.h"
#include "app/ShutdownSignals.h"
#include "resources/GlimoraIcon.h"
#include "simulator/SimulatedMeter.h"
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

    SimulatedMeterOptions options;
    options.showPanel = false;  // shown once the main window stands, beside it
    auto* meter = new SimulatedMeter(options);
    GlimoraApp window(meter, std::make_unique<support::SettingsStore>(support::SettingsStore::DefaultPath()));
    // Until the window is loaded nothing has changed that a signal could lose: SIGTERM and the
    // others keep their default action during the password warning.
    window.Load();
    ShutdownSignals shutdown(window);
    if (meter->PanelRemembered()) {
        QWidget* panel = meter->FrontPanel();
        panel->move(window.frameGeometry().topRight() + QPoint(12, 0));
        panel->show();
    }
    const int status = app.exec();
    support::SetSounds(nullptr);
    return status;
}
