#include "metercontrols/dlgMeterConnection.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

QList<SerialPortChoice> SerialPortChoices(const QList<QPair<QString, QString>>& devices, const QString& byIdFolder)
{
    // The stable names by the device they lead to (a link whose device is gone leads nowhere).
    QMap<QString, QString> stable;
    const QFileInfoList links =
        QDir(byIdFolder).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& link : links) {
        const QString device = link.canonicalFilePath();
        if (!device.isEmpty() && !stable.contains(device)) stable.insert(device, link.absoluteFilePath());
    }
    QList<SerialPortChoice> named, unnamed;
    for (const auto& [device, about] : devices) {
        const QString path = stable.value(QFileInfo(device).canonicalFilePath());
        (path.isEmpty() ? unnamed : named) << SerialPortChoice{path.isEmpty() ? device : path, device, about};
    }
    std::stable_sort(named.begin(), named.end(),
                     [](const SerialPortChoice& a, const SerialPortChoice& b) { return a.path < b.path; });
    return named + unnamed;
}

namespace {

QString AccessibleText(QString caption)
{
    caption.remove(QLatin1Char('&'));
    if (caption.endsWith(QLatin1Char(':'))) caption.chop(1);
    return caption;
}

QLabel* FieldLabel(const QString& caption, const QString& name, QWidget* parent)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

// The editor of one setting showing value, named by its type and key (cboBaudRate, chkEcho...).
QWidget* SettingField(const MeterControlSetting& s, const QString& value, QWidget* parent)
{
    QWidget* field = nullptr;
    QString prefix;
    switch (s.type) {
    case MeterControlSetting::Type::Text: {
        auto* edit = new QLineEdit(value, parent);
        field = edit;
        prefix = QStringLiteral("txt");
        break;
    }
    case MeterControlSetting::Type::Bool: {
        auto* box = new QCheckBox(s.caption, parent);
        box->setChecked(value == QLatin1String("True"));
        field = box;
        prefix = QStringLiteral("chk");
        break;
    }
    case MeterControlSetting::Type::Integer:
        if (s.choices.isEmpty()) {
            auto* spin = new QSpinBox(parent);
            spin->setRange(int(std::max<qint64>(s.minimum, INT_MIN)), int(std::min<qint64>(s.maximum, INT_MAX)));
            spin->setValue(value.toInt());
            field = spin;
            prefix = QStringLiteral("spn");
            break;
        }
        [[fallthrough]];
    case MeterControlSetting::Type::Choice: {
        auto* box = new QComboBox(parent);
        box->addItems(s.choices);
        // Another whole number in range can be typed; a choice is one of the list.
        box->setEditable(s.type == MeterControlSetting::Type::Integer);
        if (box->isEditable()) box->setEditText(value);
        else box->setCurrentText(value);
        field = box;
        prefix = QStringLiteral("cbo");
        break;
    }
    }
    field->setObjectName(prefix + s.key);
    field->setAccessibleName(AccessibleText(s.caption));
    field->setToolTip(s.description);
    field->setMinimumWidth(260);
    return field;
}

QString FieldValue(const QWidget* field)
{
    if (auto* edit = qobject_cast<const QLineEdit*>(field)) return edit->text();
    if (auto* box = qobject_cast<const QCheckBox*>(field))
        return box->isChecked() ? QStringLiteral("True") : QStringLiteral("False");
    if (auto* spin = qobject_cast<const QSpinBox*>(field)) return QString::number(spin->value());
    return qobject_cast<const QComboBox*>(field)->currentText();
}

}  // namespace

dlgMeterConnection::dlgMeterConnection(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("dlgMeterConnection"));
    setWindowTitle(QStringLiteral("Meter Connection"));
    setModal(true);

    const auto row = [this](QLabel*& label, QComboBox*& box, const char* labelName, const QString& caption,
                            const char* boxName, const QString& accessible, const QString& tip) {
        label = FieldLabel(caption, QLatin1String(labelName), this);
        box = new QComboBox(this);
        box->setObjectName(QLatin1String(boxName));
        box->setAccessibleName(accessible);
        box->setToolTip(tip);
        box->setMinimumWidth(260);
        label->setBuddy(box);
    };
    row(lblControl, cboControl, "lblControl", QStringLiteral("&Meter control:"), "cboControl",
        QStringLiteral("Meter control"), QStringLiteral("The component that talks to the meter"));
    row(lblPort, cboPort, "lblPort", QStringLiteral("&Port:"), "cboPort", QStringLiteral("Port"),
        QStringLiteral("The serial port the meter is plugged into"));
    cboPort->setEditable(true);  // a port the system does not list (a pseudo-terminal) can be typed

    lblUnusable = new QLabel(QStringLiteral("Meter controls that could not be used:"), this);
    lblUnusable->setObjectName(QStringLiteral("lblUnusable"));
    txtUnusable = new QPlainTextEdit(this);
    txtUnusable->setObjectName(QStringLiteral("txtUnusable"));
    txtUnusable->setAccessibleName(QStringLiteral("Meter controls that could not be used"));
    txtUnusable->setReadOnly(true);
    txtUnusable->setFixedHeight(txtUnusable->fontMetrics().lineSpacing() * 5 + 12);
    lblUnusable->setBuddy(txtUnusable);

    lblLinkProblem = new QLabel(this);
    lblLinkProblem->setObjectName(QStringLiteral("lblLinkProblem"));
    lblLinkProblem->setWordWrap(true);
    lblLinkProblem->setMaximumWidth(420);
    lblLinkProblem->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblLinkProblem->hide();

    btnOK = new QPushButton(QStringLiteral("Ok"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    m_grid = new QGridLayout;
    m_grid->setHorizontalSpacing(10);
    m_grid->setVerticalSpacing(6);
    m_grid->addWidget(lblControl, 0, 0);
    m_grid->addWidget(cboControl, 0, 1);
    m_grid->addWidget(lblPort, 1, 0);
    m_grid->addWidget(cboPort, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(14);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // follows the fields of the control chosen
    layout->addLayout(m_grid);
    auto* unusable = new QVBoxLayout;
    unusable->setSpacing(4);
    unusable->addWidget(lblUnusable);
    unusable->addWidget(txtUnusable);
    layout->addLayout(unusable);
    layout->addWidget(lblLinkProblem);
    layout->addLayout(buttons);

    connect(cboControl, &QComboBox::currentIndexChanged, this, &dlgMeterConnection::ShowFields);
    connect(btnOK, &QPushButton::clicked, this, &dlgMeterConnection::Accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void dlgMeterConnection::showEvent(QShowEvent* event)
{
    if (!m_loaded) {
        m_loaded = true;
        DoChange = false;
        m_values = mSettings;
        // The ports found on the machine, by their stable name where they have one, with what
        // the system knows of them.
        QList<QPair<QString, QString>> devices;
        for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts())
            devices << qMakePair(port.systemLocation(),
                                 QStringList{port.description(), port.manufacturer()}.join(QLatin1Char(' ')).trimmed());
        const QString port = mSettings.value(QStringLiteral("Port"));
        const QString portDevice = QFileInfo(port).canonicalFilePath();
        int chosen = -1;
        for (const SerialPortChoice& choice : SerialPortChoices(devices)) {
            QStringList about{choice.about};
            if (choice.path != choice.device) about.prepend(choice.device);
            about.removeAll(QString());
            cboPort->addItem(about.isEmpty()
                                 ? choice.path
                                 : QStringLiteral("%1  (%2)").arg(choice.path, about.join(QStringLiteral(", "))),
                             choice.path);
            // The port chosen before, also when it was kept by its device path.
            if (choice.path == port
                || (chosen < 0 && !portDevice.isEmpty() && QFileInfo(choice.device).canonicalFilePath() == portDevice))
                chosen = cboPort->count() - 1;
        }
        if (chosen >= 0) cboPort->setCurrentIndex(chosen);
        else if (port.isEmpty() && cboPort->count() > 0) cboPort->setCurrentIndex(0);  // the first port listed
        else cboPort->setEditText(port);

        txtUnusable->setPlainText(mUnusable.join(QLatin1Char('\n')));
        lblUnusable->setVisible(!mUnusable.isEmpty());
        txtUnusable->setVisible(!mUnusable.isEmpty());
        const QSignalBlocker quiet(cboControl);
        for (const MeterControlInfo& control : std::as_const(mControls)) cboControl->addItem(control.name);
        cboControl->setCurrentIndex(std::max(0, int(cboControl->findText(mName))));
        btnOK->setEnabled(!mControls.isEmpty());
        ShowFields();
        lblLinkProblem->setText(mLinkProblem);
        lblLinkProblem->setAccessibleName(mLinkProblem);
        lblLinkProblem->setVisible(!mLinkProblem.isEmpty());
    }
    QDialog::showEvent(event);
}

const MeterControlInfo* dlgMeterConnection::Chosen() const
{
    const int index = cboControl->currentIndex();
    return index >= 0 && index < mControls.size() ? &mControls.at(index) : nullptr;
}

void dlgMeterConnection::KeepTyped()
{
    if (!m_shown) return;
    if (m_shown->needsPort) {
        // A listed port is kept by its path; a typed one as typed.
        const int index = cboPort->findText(cboPort->currentText());
        m_values.insert(QStringLiteral("Port"),
                        (index >= 0 ? cboPort->itemData(index).toString() : cboPort->currentText()).trimmed());
    }
    // A value out of its range is ignored: the one before stays.
    for (QWidget* field : std::as_const(m_fields)) {
        const QString key = field->property("settingKey").toString();
        for (const MeterControlSetting& s : m_shown->settings)
            if (s.key == key)
                if (const auto value = s.Accepted(FieldValue(field))) m_values.insert(key, *value);
    }
}

void dlgMeterConnection::ShowFields()
{
    KeepTyped();
    qDeleteAll(m_fields);
    m_fields.clear();
    m_shown = Chosen();
    const bool port = m_shown && m_shown->needsPort;
    lblPort->setVisible(port);
    cboPort->setVisible(port);
    if (!m_shown) return;
    int row = 2;
    for (const MeterControlSetting& s : m_shown->settings) {
        const QString value =
            m_values.contains(s.key) ? s.Accepted(m_values.value(s.key)).value_or(s.defaultValue) : s.defaultValue;
        QWidget* field = SettingField(s, value, this);
        field->setProperty("settingKey", s.key);
        if (s.type != MeterControlSetting::Type::Bool) {
            QLabel* label = FieldLabel(s.caption, QStringLiteral("lbl") + s.key, this);
            label->setBuddy(field);
            m_grid->addWidget(label, row, 0);
            m_fields << label;
        }
        m_grid->addWidget(field, row++, 1);
        m_fields << field;
    }
    // Tab order: the control, the port, its settings in order, then the buttons.
    QWidget* previous = cboPort;
    for (QWidget* w : std::as_const(m_fields)) {
        if (w->focusPolicy() == Qt::NoFocus) continue;
        setTabOrder(previous, w);
        previous = w;
    }
    setTabOrder(previous, txtUnusable);
    setTabOrder(txtUnusable, btnOK);
}

void dlgMeterConnection::Accept()
{
    const MeterControlInfo* control = Chosen();
    if (!control) return;
    KeepTyped();
    if (control->needsPort && m_values.value(QStringLiteral("Port")).trimmed().isEmpty()) {
        QMessageBox::warning(
            this, windowTitle(),
            QStringLiteral(
                "Choose the serial port the meter is plugged into, or type its path (for example /dev/ttyUSB0)."));
        cboPort->setFocus();
        return;
    }
    mName = control->name;
    mSettings.clear();
    if (control->needsPort) mSettings.insert(QStringLiteral("Port"), m_values.value(QStringLiteral("Port")));
    for (const MeterControlSetting& s : control->settings)
        mSettings.insert(s.key,
                         m_values.contains(s.key) ? s.Accepted(m_values.value(s.key)).value_or(s.defaultValue)
                                                  : s.defaultValue);
    DoChange = true;
    accept();
}
