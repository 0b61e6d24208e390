// The "Simulated" meter control: the simulated instrument with its front panel.
#include <QObject>
#include <QWidget>

#include "dialogs/WindowRules.h"
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
        options.showPanel = false;  // shown once the main window stands, beside it
        return new SimulatedMeter(options, parent);
    }
    void ShowWindows(VantrelCntl* control, QWidget* beside) override
    {
        auto* meter = qobject_cast<SimulatedMeter*>(control);
        if (meter && meter->PanelRemembered()) ShowPanel(meter, beside);
    }
    bool HasWindows() const override { return true; }
    void OpenWindows(VantrelCntl* control, QWidget* beside) override
    {
        if (auto* meter = qobject_cast<SimulatedMeter*>(control)) ShowPanel(meter, beside);
    }

private:
    // The panel where the operator left it, else beside the main window; on the screen either way.
    static void ShowPanel(SimulatedMeter* meter, QWidget* beside)
    {
        QWidget* panel = meter->FrontPanel();
        panel->adjustSize();
        if (!panel->isVisible() && !meter->PanelPlaced() && beside)
            panel->move(beside->frameGeometry().topRight() + QPoint(12, 0));
        FitIntoScreen(panel);
        if (panel->isMinimized()) panel->showNormal();
        else panel->show();
        panel->raise();
        panel->activateWindow();
    }
};

#include "SimulatedPlugin.moc"
