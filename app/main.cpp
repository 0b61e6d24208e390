// Glimora: the operator's application of the DOI/haze meter, here on the simulated instrument.
#include <QApplication>
#include <QIcon>

#include "app/GlimoraApp.h"
#include "vantrel/SimulatedMeter.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Glimora"));
    QCoreApplication::setApplicationName(QStringLiteral("Glimora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GLIMORA_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/glimora.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("glimora"));

    auto* meter = new SimulatedMeter(SimulatedMeterOptions{});
    GlimoraApp window(meter);
    window.Load();
    window.show();
    // The simulated instrument's front panel stands beside the main window.
    if (QWidget* panel = meter->FrontPanel(); panel->isVisible())
        panel->move(window.frameGeometry().topRight() + QPoint(12, 0));
    return app.exec();
}
