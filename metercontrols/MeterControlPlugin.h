#pragma once
// What a meter control plug-in offers the program: the meter control built from its section of
// the settings store, and its own windows. Plug-ins live in the folder metercontrols/ beside the
// program. Each describes itself in JSON metadata, Q_PLUGIN_METADATA(IID MeterControlPlugin_iid
// FILE "mine.json"), which the program reads without loading the plug-in:
//
//   { "Name": "Serial", "NeedsPort": true,
//     "Settings": [ { "Key": "BaudRate", "Type": "integer", "Default": 115200,
//                     "Minimum": 50, "Maximum": 4000000, "Choices": [9600, 115200],
//                     "Caption": "&Baud rate:", "Description": "The speed the meter talks at" } ] }
//
// Name is what an operator puts in [MeterControl] Name; NeedsPort makes the "Meter Connection"
// dialog ask for a port ([MeterControl] Port). Settings are the control's own keys of
// [MeterControl] (letters and digits, not Name or Port), which the dialog asks for by Type:
// "text"; "integer" (Minimum and Maximum; Choices, when given, are offered and another number in
// range may be typed); "choice" (one of Choices, texts); "bool" (a check box). Every value is
// kept as text: a bool as True or False. Caption is the field's label, Description its tool tip.
//
// The interface id carries the version of the meter control contract (this interface and
// VantrelCntl, whose library libglimora-vantrel.so has the same number as its SOVERSION): a
// plug-in built for another version is never loaded. The number changes whenever either changes
// in a way that breaks a plug-in already built.
#include <QMap>
#include <QString>
#include <QtPlugin>

class QObject;
class QWidget;
class VantrelCntl;

class MeterControlPlugin {
public:
    virtual ~MeterControlPlugin() = default;

    // A new meter control, not yet linked, from the keys of [MeterControl]: Port when the
    // metadata says NeedsPort, and each of the metadata's Settings (its default when the
    // operator gave none or one out of range). Nothing when it cannot be built.
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

#define MeterControlPlugin_iid "org.glimora.MeterControl/2"
Q_DECLARE_INTERFACE(MeterControlPlugin, MeterControlPlugin_iid)
