#include "settings/dlgAppProperties.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/WindowRules.h"

namespace {
QCheckBox* MakeCheck(QWidget* parent, const QString& name, const QString& caption, const QString& tip)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setToolTip(tip);
    return box;
}

QRadioButton* MakeRadio(QWidget* parent, const QString& name, const QString& caption, const QString& tip)
{
    auto* button = new QRadioButton(caption, parent);
    button->setObjectName(name);
    button->setToolTip(tip);
    return button;
}
}  // namespace

dlgAppProperties::dlgAppProperties(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("dlgAppProperties"));
    setWindowTitle(QStringLiteral("Properties"));
    setModal(true);

    chkKeepAlive = MakeCheck(this, QStringLiteral("chkKeepAlive"), QStringLiteral("Keep alive"),
                             QStringLiteral("Disables battery auto-save turnoff"));
    chkNoFile = MakeCheck(this, QStringLiteral("chkNoFile"), QStringLiteral("Allow data without open file"),
                          QStringLiteral("Allows data readings without file to save readings"));
    chkSounds = MakeCheck(this, QStringLiteral("chkSounds"), QStringLiteral("Sound Confirmation"),
                          QStringLiteral("Enable audio sounds when data received"));
    chkButtonEnable = MakeCheck(this, QStringLiteral("chkButtonEnable"), QStringLiteral("Enable Meter Button"),
                                QStringLiteral("Enable data reading taken when haze meter button pushed"));

    Frame1 = new QGroupBox(QStringLiteral("Significant Digits"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setToolTip(QStringLiteral("Number of digits to the right of the decimal point"));
    rad0Digit = MakeRadio(Frame1, QStringLiteral("rad0Digit"), QStringLiteral("100."),
                          QStringLiteral("0 Digits to the right of the decimal point"));
    rad1Digit = MakeRadio(Frame1, QStringLiteral("rad1Digit"), QStringLiteral("100.0"),
                          QStringLiteral("1 Digit to the right of the decimal point"));
    rad2Digit = MakeRadio(Frame1, QStringLiteral("rad2Digit"), QStringLiteral("100.00"),
                          QStringLiteral("2 Digits to the right of the decimal point"));
    rad3Digit = MakeRadio(Frame1, QStringLiteral("rad3Digit"), QStringLiteral("100.000"),
                          QStringLiteral("3 Digits to the right of the decimal point"));
    auto* digits = new QGridLayout(Frame1);
    digits->setHorizontalSpacing(24);
    digits->addWidget(rad0Digit, 0, 0);
    digits->addWidget(rad1Digit, 1, 0);
    digits->addWidget(rad2Digit, 0, 1);
    digits->addWidget(rad3Digit, 1, 1);

    chkAverage = MakeCheck(this, QStringLiteral("chkAverage"), QStringLiteral("Use pixel area average"),
                           QStringLiteral("Use weighted average of pixel areas"));
    chkConstDC = MakeCheck(this, QStringLiteral("chkConstDC"), QStringLiteral("Use cal constant duty cycle"),
                           QStringLiteral("Use the same duty cycle as was used for the cal standard"));

    btnOK = new QPushButton(QStringLiteral("Ok"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto* left = new QVBoxLayout;
    left->setSpacing(8);
    left->addWidget(chkKeepAlive);
    left->addWidget(chkNoFile);
    left->addWidget(chkSounds);
    left->addWidget(chkButtonEnable);
    left->addStretch(1);

    auto* right = new QVBoxLayout;
    right->setSpacing(8);
    right->addWidget(Frame1);
    right->addWidget(chkAverage);
    right->addWidget(chkConstDC);
    right->addStretch(1);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(24);
    columns->addLayout(left);
    columns->addLayout(right);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    layout->addLayout(columns);
    layout->addLayout(buttons);

    setFixedSize(sizeHint());

    setTabOrder(btnOK, chkKeepAlive);
    setTabOrder(chkKeepAlive, chkNoFile);
    setTabOrder(chkNoFile, chkAverage);
    setTabOrder(chkAverage, chkSounds);
    setTabOrder(chkSounds, rad0Digit);
    setTabOrder(rad0Digit, rad1Digit);
    setTabOrder(rad1Digit, rad2Digit);
    setTabOrder(rad2Digit, rad3Digit);
    setTabOrder(rad3Digit, btnCancel);
    setTabOrder(btnCancel, chkButtonEnable);
    setTabOrder(chkButtonEnable, chkConstDC);
    OpenOnFirstControl(btnOK);

    QRadioButton* const options[] = {rad0Digit, rad1Digit, rad2Digit, rad3Digit};
    for (int16_t d = 0; d < 4; ++d) {
        connect(options[d], &QRadioButton::clicked, this, [this, d] { mDigits = d; });
        // Tab enters the digits group on its chosen option (on every option while none is
        // chosen); the arrow keys move between the options.
        connect(options[d], &QRadioButton::toggled, this, [options] {
            const bool chosen =
                std::any_of(std::begin(options), std::end(options), [](QRadioButton* o) { return o->isChecked(); });
            for (QRadioButton* o : options)
                o->setFocusPolicy(!chosen || o->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
        });
    }
    connect(btnOK, &QPushButton::clicked, this, &dlgAppProperties::Accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void dlgAppProperties::showEvent(QShowEvent* event)
{
    if (!m_loaded) {
        m_loaded = true;
        Load();
    }
    QDialog::showEvent(event);
}

void dlgAppProperties::Load()
{
    DoChange = false;
    chkKeepAlive->setChecked(mKeepAlive);
    chkNoFile->setChecked(mNoFile);
    chkAverage->setChecked(mAverage);
    chkConstDC->setChecked(mConstDC);
    chkSounds->setChecked(mSounds);
    chkButtonEnable->setChecked(mEnableButton);
    QRadioButton* options[] = {rad0Digit, rad1Digit, rad2Digit, rad3Digit};
    if (mDigits >= 0 && mDigits <= 3) options[mDigits]->setChecked(true);
}

void dlgAppProperties::Accept()
{
    mConstDC = chkConstDC->isChecked();
    mAverage = chkAverage->isChecked();
    mNoFile = chkNoFile->isChecked();
    mKeepAlive = chkKeepAlive->isChecked();
    mSounds = chkSounds->isChecked();
    mEnableButton = chkButtonEnable->isChecked();
    DoChange = true;
    accept();
}
