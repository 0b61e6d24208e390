#include "calibration/dlgSettings.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "calibration/TypedNumber.h"
#include "dialogs/WindowRules.h"

dlgSettings::dlgSettings(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("dlgSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    setModal(true);

    lblCenter = new QLabel(QStringLiteral("Array Center:"), this);
    lblCenter->setObjectName(QStringLiteral("lblCenter"));
    edCenter = new QLineEdit(this);
    edCenter->setObjectName(QStringLiteral("edCenter"));
    edCenter->setToolTip(QStringLiteral("Move the array center"));
    edCenter->setAccessibleName(QStringLiteral("Array Center"));
    lblDutyCycle = new QLabel(QStringLiteral("Duty Cycle:"), this);
    lblDutyCycle->setObjectName(QStringLiteral("lblDutyCycle"));
    edDutyCycle = new QLineEdit(this);
    edDutyCycle->setObjectName(QStringLiteral("edDutyCycle"));
    edDutyCycle->setToolTip(QStringLiteral("Set the measurement duty cycle of the LED"));
    edDutyCycle->setAccessibleName(QStringLiteral("Duty Cycle"));
    for (QLabel* label : {lblCenter, lblDutyCycle}) label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLineEdit* edit : {edCenter, edDutyCycle}) edit->setFixedWidth(96);
    lblCenter->setBuddy(edCenter);
    lblDutyCycle->setBuddy(edDutyCycle);

    btnOK = new QPushButton(QStringLiteral("Ok"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    grid->addWidget(lblCenter, 0, 0);
    grid->addWidget(edCenter, 0, 1);
    grid->addWidget(lblDutyCycle, 1, 0);
    grid->addWidget(edDutyCycle, 1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(14);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    setFixedSize(sizeHint());

    setTabOrder(btnOK, btnCancel);
    setTabOrder(btnCancel, edCenter);
    setTabOrder(edCenter, edDutyCycle);
    OpenOnFirstControl(btnOK);

    connect(btnOK, &QPushButton::clicked, this, &dlgSettings::Accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void dlgSettings::showEvent(QShowEvent* event)
{
    if (!m_loaded) {
        m_loaded = true;
        edCenter->setText(QString::number(mCenter));
        edDutyCycle->setText(QString::number(mDutyCycle));
        DoChange = false;
    }
    QDialog::showEvent(event);
}

void dlgSettings::Accept()
{
    using namespace calibration;
    if (const auto v = AcceptedValue(MeterField::Center, edCenter->text())) mCenter = RoundToInt16(*v);
    if (const auto v = AcceptedValue(MeterField::DutyCycle, edDutyCycle->text())) mDutyCycle = RoundToInt16(*v);
    DoChange = true;
    accept();
}
