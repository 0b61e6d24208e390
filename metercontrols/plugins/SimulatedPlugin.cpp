// The "Simulated" meter control: the simulated instrument with its front panel.
#include <QObject>
#include <QWidget>

#include "metercontrols/MeterControlPlugin.h"
#include "simulator/SimulatedMeter.h"

class SimulatedPlugin : public QObject, public MeterControlPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID MeterControlPlugin_iid FILE "simulated.json")
    Q_INTERFACES(MeterControlPlugin)
public:
    VantrelCntl* Create(const QMap<QString, QString>&, QObject* parent) override
    {
        SimulatedMeterOptions options;
        options.showPanel = false;   // shown once the main window stands, beside it
        return new SimulatedMeter(options, parent);
    }
    void ShowWindows(VantrelCntl* control, QWidget* beside) override
    {
        auto* meter = qobject_cast<SimulatedMeter*>(control);
        if (!meter || !meter->PanelRemembered()) return;
        QWidget* panel = meter->FrontPanel();
        if (beside) panel->move(beside->frameGeometry().topRight() + QPoint(12, 0));
        panel->show();
    }
};

#include "SimulatedPlugin.moc"
