#pragma once
// What a meter control plug-in offers the program: its name, and the meter control built from
// its section of the settings store. Plug-ins live in the folder metercontrols/ beside the
// program; the interface id carries its version, so a plug-in built for another version of this
// interface is never taken.
#include <QMap>
#include <QString>
#include <QtPlugin>

class QObject;
class QWidget;
class VantrelCntl;

class MeterControlPlugin {
public:
    virtual ~MeterControlPlugin() = default;

    // The name an operator chooses in [MeterControl] Name ("Simulated", "Serial").
    virtual QString Name() const = 0;
    // Whether the control talks over a serial port (the connection dialog then asks for one).
    virtual bool UsesSerialPort() const { return false; }
    // A new meter control, not yet linked, from the keys of [MeterControl] (Port, BaudRate...).
    // Nothing when it cannot be built.
    virtual VantrelCntl* Create(const QMap<QString, QString>& settings, QObject* parent) = 0;
    // Shows the control's own windows, if it has any, beside the main window (those the operator
    // left open at the end of the last run).
    virtual void ShowWindows(VantrelCntl* control, QWidget* beside)
    {
        (void)control;
        (void)beside;
    }
    // Whether the control has windows of its own (the Meter menu then offers to show them).
    virtual bool HasWindows() const { return false; }
    // Shows every window of the control at the operator's request, also one closed before, in
    // front of the others.
    virtual void OpenWindows(VantrelCntl* control, QWidget* beside) { ShowWindows(control, beside); }
};

#define MeterControlPlugin_iid "org.glimora.MeterControl/1"
Q_DECLARE_INTERFACE(MeterControlPlugin, MeterControlPlugin_iid)
