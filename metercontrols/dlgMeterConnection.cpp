#include "metercontrols/dlgMeterConnection.h"

#include <QComboBox>
#include <algorithm>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QVBoxLayout>

dlgMeterConnection::dlgMeterConnection(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("dlgMeterConnection"));
    setWindowTitle(QStringLiteral("Meter Connection"));
    setModal(true);

    const auto row = [this](QLabel*& label, QComboBox*& box, const char* labelName, const QString& caption,
                            const char* boxName, const QString& accessible, const QString& tip) {
        label = new QLabel(caption, this);
        label->setObjectName(QLatin1String(labelName));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        box = new QComboBox(this);
        box->setObjectName(QLatin1String(boxName));
        box->setAccessibleName(accessible);
        box->setToolTip(tip);
        box->setMinimumWidth(260);
        label->setBuddy(box);
    };
    row(lblControl, cboControl, "lblControl", QStringLiteral("&Meter control:"), "cboControl", QStringLiteral("Meter control"),
        QStringLiteral("The component that talks to the meter"));
    row(lblPort, cboPort, "lblPort", QStringLiteral("&Port:"), "cboPort", QStringLiteral("Port"),
        QStringLiteral("The serial port the meter is plugged into"));
    row(lblBaudRate, cboBaudRate, "lblBaudRate", QStringLiteral("&Baud rate:"), "cboBaudRate", QStringLiteral("Baud rate"),
        QStringLiteral("The speed the meter talks at"));
    cboPort->setEditable(true);       // a port the system does not list (a pseudo-terminal) can be typed
    cboBaudRate->setEditable(true);

    btnOK = new QPushButton(QStringLiteral("Ok"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    grid->addWidget(lblControl, 0, 0);
    grid->addWidget(cboControl, 0, 1);
    grid->addWidget(lblPort, 1, 0);
    grid->addWidget(cboPort, 1, 1);
    grid->addWidget(lblBaudRate, 2, 0);
    grid->addWidget(cboBaudRate, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(14);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(cboControl, &QComboBox::currentTextChanged, this, &dlgMeterConnection::ShowSerialFields);
    connect(btnOK, &QPushButton::clicked, this, &dlgMeterConnection::Accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void dlgMeterConnection::showEvent(QShowEvent* event)
{
    if (!m_loaded) {
        m_loaded = true;
        DoChange = false;
        cboControl->addItems(mControls);
        cboControl->setCurrentIndex(std::max(0, int(mControls.indexOf(mName))));
        // The ports found on the machine, by their device path, with what the system knows of them.
        for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
            const QString about = QStringList{port.description(), port.manufacturer()}.join(QLatin1Char(' ')).trimmed();
            cboPort->addItem(about.isEmpty() ? port.systemLocation() : QStringLiteral("%1  (%2)").arg(port.systemLocation(), about),
                             port.systemLocation());
        }
        const int known = cboPort->findData(mPort);
        if (known >= 0) cboPort->setCurrentIndex(known);
        else if (mPort.isEmpty() && cboPort->count() > 0) cboPort->setCurrentIndex(0);
        else cboPort->setEditText(mPort);
        // The rates serial meters and adapters use; another can still be typed.
        for (qint32 rate : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600})
            cboBaudRate->addItem(QString::number(rate));
        cboBaudRate->setEditText(QString::number(mBaudRate));
        ShowSerialFields();
        setFixedSize(sizeHint());
    }
    QDialog::showEvent(event);
}

void dlgMeterConnection::ShowSerialFields()
{
    const bool serial = mSerialControls.contains(cboControl->currentText());
    for (QWidget* w : {static_cast<QWidget*>(lblPort), static_cast<QWidget*>(cboPort), static_cast<QWidget*>(lblBaudRate),
                       static_cast<QWidget*>(cboBaudRate)})
        w->setEnabled(serial);
}

void dlgMeterConnection::Accept()
{
    mName = cboControl->currentText();
    if (mSerialControls.contains(mName)) {
        // A listed port is kept by its path; a typed one as typed.
        const int index = cboPort->findText(cboPort->currentText());
        const QString port = (index >= 0 ? cboPort->itemData(index).toString() : cboPort->currentText()).trimmed();
        if (port.isEmpty()) {
            QMessageBox::warning(this, windowTitle(),
                                 QStringLiteral("Choose the serial port the meter is plugged into, or type its path "
                                                "(for example /dev/ttyUSB0)."));
            cboPort->setFocus();
            return;
        }
        mPort = port;
        bool ok = false;
        const qint32 rate = cboBaudRate->currentText().trimmed().toInt(&ok);
        if (ok && rate > 0) mBaudRate = rate;
    }
    DoChange = true;
    accept();
}
