// Glimora: the operator's application of the DOI/haze meter, here on the simulated instrument.
#include <QApplication>
#include <memory>

#include "app/GlimoraApp.h"
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

    SimulatedMeterOptions options;
    options.showPanel = false;  // shown once the main window stands, beside it
    auto* meter = new SimulatedMeter(options);
    GlimoraApp window(meter, std::make_unique<support::SettingsStore>(support::SettingsStore::DefaultPath()));
    window.Load();
    if (meter->PanelRemembered()) {
        QWidget* panel = meter->FrontPanel();
        panel->move(window.frameGeometry().topRight() + QPoint(12, 0));
        panel->show();
    }
    return app.exec();
}
