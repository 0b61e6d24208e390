#pragma once
// "Meter Connection": which meter control talks to the meter and, for one on a serial port,
// which port and baud rate. The caller fills the m-fields and the lists, and acts only when
// DoChange is true (Ok).
#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QPushButton;

class dlgMeterConnection : public QDialog {
    Q_OBJECT
public:
    explicit dlgMeterConnection(QWidget* parent = nullptr);

    // Filled by the caller before showing.
    QStringList mControls;        // installed meter controls by name
    QStringList mSerialControls;  // those of them that use a serial port
    QString mName;
    QString mPort;
    qint32 mBaudRate = 115200;
    // Why the meter control in use is not linked, when it says (shown above the buttons).
    QString mLinkProblem;
    // Read after closing.
    bool DoChange = false;

    QLabel* lblControl;
    QComboBox* cboControl;
    QLabel* lblPort;
    QComboBox* cboPort;
    QLabel* lblBaudRate;
    QComboBox* cboBaudRate;
    QLabel* lblLinkProblem;
    QPushButton* btnOK;
    QPushButton* btnCancel;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowSerialFields();
    void Accept();

    bool m_loaded = false;
};
