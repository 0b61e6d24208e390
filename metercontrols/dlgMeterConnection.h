#pragma once
// "Meter Connection": which meter control talks to the meter and its settings: a port for one
// that needs a port, and the settings its plug-in's metadata names, each asked by its type. Below
// them, the plug-ins that could not be used and why. The caller fills the m-fields and acts only
// when DoChange is true (Ok).
#include <QDialog>
#include <QList>
#include <QMap>
#include <QStringList>

#include "metercontrols/MeterControlInfo.h"

class QComboBox;
class QGridLayout;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// A serial port as offered: the path kept in the settings (the stable name under
// /dev/serial/by-id/ when the device has one) and what the system knows of the device.
struct SerialPortChoice {
    QString path;
    QString device;
    QString about;
};
// devices: each port's device path and description. Those with a stable name come first, by it.
QList<SerialPortChoice> SerialPortChoices(const QList<QPair<QString, QString>>& devices,
                                          const QString& byIdFolder = QStringLiteral("/dev/serial/by-id"));

class dlgMeterConnection : public QDialog {
    Q_OBJECT
public:
    explicit dlgMeterConnection(QWidget* parent = nullptr);

    // Filled by the caller before showing.
    QList<MeterControlInfo> mControls;  // the usable meter controls
    QStringList mUnusable;  // the files that could not be used, each with the reason
    QString mName;
    // [MeterControl]'s keys. After Ok: exactly those of the chosen control (Port when it needs a
    // port, and its own settings), as they are to be stored.
    QMap<QString, QString> mSettings;
    // Why the meter control in use is not linked, when it says (shown above the buttons).
    QString mLinkProblem;
    // Read after closing.
    bool DoChange = false;

    QLabel* lblControl;
    QComboBox* cboControl;
    QLabel* lblPort;
    QComboBox* cboPort;
    QLabel* lblUnusable;
    QPlainTextEdit* txtUnusable;
    QLabel* lblLinkProblem;
    QPushButton* btnOK;
    QPushButton* btnCancel;

protected:
    void showEvent(QShowEvent* event) override;

private:
    const MeterControlInfo* Chosen() const;
    void ShowFields();
    void KeepTyped();
    void Accept();

    QGridLayout* m_grid;
    QList<QWidget*> m_fields;  // the chosen control's own settings, labels and fields
    QMap<QString, QString> m_values;
    const MeterControlInfo* m_shown = nullptr;
    bool m_loaded = false;
};
