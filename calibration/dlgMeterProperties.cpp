#include "calibration/dlgMeterProperties.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "calibration/TypedNumber.h"
#include "dialogs/WindowRules.h"
#include "support/Numbers.h"

namespace {
constexpr int kBoxWidth = 96;
constexpr int kSerialLength = 8;
}  // namespace

dlgMeterProperties::dlgMeterProperties(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("dlgMeterProperties"));
    setWindowTitle(QStringLiteral("Haze Meter Properties"));
    setModal(true);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    int row = 0;
    auto addRow = [&](QLabel*& label, QLineEdit*& edit, const QString& labelName, const QString& caption,
                      const QString& editName, const QString& tip) {
        label = new QLabel(caption, this);
        label->setObjectName(labelName);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        edit = new QLineEdit(this);
        edit->setObjectName(editName);
        edit->setFixedWidth(kBoxWidth);
        edit->setToolTip(tip);
        QString name = caption;
        name.chop(1);  // the caption without its colon
        edit->setAccessibleName(name);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        ++row;
    };
    addRow(lblCenter, edCenter, QStringLiteral("lblCenter"), QStringLiteral("Array Center:"),
           QStringLiteral("edCenter"), QStringLiteral("Set center of the array"));
    addRow(lblRefCenter, edRefCenter, QStringLiteral("lblRefCenter"), QStringLiteral("Reference Center:"),
           QStringLiteral("edRefCenter"), QStringLiteral("Set center of reference window"));
    addRow(lblIntensity, edIntensity, QStringLiteral("lblIntensity"), QStringLiteral("Intensity:"),
           QStringLiteral("edIntensity"), QStringLiteral("Set LED current level"));
    addRow(lblRefDutyCycle, edRefDutyCycle, QStringLiteral("lblRefDutyCycle"), QStringLiteral("Reference Duty Cycle:"),
           QStringLiteral("edRefDutyCycle"),
           QStringLiteral("Set duty cycle of LED when making reference measurements"));
    addRow(lblDeg2Distortion, edDeg2Distortion, QStringLiteral("lblDeg2Distortion"),
           QStringLiteral("2 Degree Distortion Correction:"), QStringLiteral("edDeg2Distortion"),
           QStringLiteral("Set the 2 Degree distortion correction"));
    addRow(lblDOIDistortion, edDOIDistortion, QStringLiteral("lblDOIDistortion"),
           QStringLiteral("DOI Distortion Correction:"), QStringLiteral("edDOIDistortion"),
           QStringLiteral("Set the DOI distortion correction"));
    addRow(lblSerialNumber, edSerialNumber, QStringLiteral("lblSerialNumber"), QStringLiteral("Serial Number:"),
           QStringLiteral("edSerialNumber"), QStringLiteral("Set serial number of Haze Meter"));
    addRow(lblBlackLevel, edBlackLevel, QStringLiteral("lblBlackLevel"), QStringLiteral("Black Level Threshold:"),
           QStringLiteral("edBlackLevel"), QString());
    edSerialNumber->setMaxLength(kSerialLength);

    ForceDefaults = new QPushButton(QStringLiteral("Defaults"), this);
    ForceDefaults->setObjectName(QStringLiteral("ForceDefaults"));
    btnOK = new QPushButton(QStringLiteral("Ok"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ForceDefaults);
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
    setTabOrder(edCenter, edRefCenter);
    setTabOrder(edRefCenter, edIntensity);
    setTabOrder(edIntensity, edRefDutyCycle);
    setTabOrder(edRefDutyCycle, edDeg2Distortion);
    setTabOrder(edDeg2Distortion, edDOIDistortion);
    setTabOrder(edDOIDistortion, edSerialNumber);
    setTabOrder(edSerialNumber, ForceDefaults);
    setTabOrder(ForceDefaults, edBlackLevel);
    OpenOnFirstControl(btnOK);

    connect(ForceDefaults, &QPushButton::clicked, this, &dlgMeterProperties::SetDefaults);
    connect(btnOK, &QPushButton::clicked, this, &dlgMeterProperties::Accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void dlgMeterProperties::showEvent(QShowEvent* event)
{
    if (!m_loaded) {
        m_loaded = true;
        DoChange = false;
        ForceDefaults->setEnabled(mAuthority > 1);
        FillBoxes();
    }
    QDialog::showEvent(event);
}

void dlgMeterProperties::FillBoxes()
{
    edCenter->setText(QString::number(mCenter));
    edRefCenter->setText(QString::number(mRefCenter));
    edIntensity->setText(QString::number(mIntensity));
    edRefDutyCycle->setText(QString::number(mRefDutyCycle));
    edDeg2Distortion->setText(support::FormatValue(mDeg2Distortion, 3));
    edDOIDistortion->setText(support::FormatValue(mDOIDistortion, 3));
    edSerialNumber->setText(mSerialNumber.left(kSerialLength));
    edBlackLevel->setText(QString::number(mBlackLevel));
}

void dlgMeterProperties::SetDefaults()
{
    mBlackLevel = 32767;
    mCenter = 110;
    mRefCenter = 146;
    mIntensity = 45;
    mRefDutyCycle = 85;
    mSerialNumber = QStringLiteral("001xx");
    mDOIDistortion = 1.0;
    mDeg2Distortion = 1.0;
    FillBoxes();
}

void dlgMeterProperties::Accept()
{
    using namespace calibration;
    if (const auto v = AcceptedValue(MeterField::Center, edCenter->text())) mCenter = RoundToInt16(*v);
    if (const auto v = AcceptedValue(MeterField::RefCenter, edRefCenter->text())) mRefCenter = RoundToInt16(*v);
    if (const auto v = AcceptedValue(MeterField::Intensity, edIntensity->text())) mIntensity = RoundToInt16(*v);
    if (const auto v = AcceptedValue(MeterField::RefDutyCycle, edRefDutyCycle->text()))
        mRefDutyCycle = RoundToInt16(*v);
    mSerialNumber = TrimBlanks(edSerialNumber->text()).left(kSerialLength);
    if (const auto v = AcceptedValue(MeterField::Distortion, edDeg2Distortion->text())) mDeg2Distortion = *v;
    if (const auto v = AcceptedValue(MeterField::Distortion, edDOIDistortion->text())) mDOIDistortion = *v;
    if (const auto v = AcceptedValue(MeterField::BlackLevel, edBlackLevel->text())) mBlackLevel = RoundToInt32(*v);
    DoChange = true;
    accept();
}
