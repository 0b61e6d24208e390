#include "comments/dlgHeaderText.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "comments/SingleLine.h"

dlgHeaderText::dlgHeaderText(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("dlgHeaderText"));
    setWindowTitle(QStringLiteral("Data Header Text"));

    auto* outer = new QVBoxLayout(this);
    Label8 = new QLabel(QStringLiteral("Column Header Text"), this);
    Label8->setObjectName(QStringLiteral("Label8"));
    QFont bold = Label8->font();
    bold.setBold(true);
    Label8->setFont(bold);
    outer->addWidget(Label8);

    auto* grid = new QGridLayout;
    QLabel** labels[7] = {&Label1, &Label2, &Label3, &Label4, &Label5, &Label6, &Label7};
    QLineEdit** boxes[7] = {&HdrTxt1TxtBx, &HdrTxt2TxtBx, &HdrTxt3TxtBx, &HdrTxt4TxtBx,
                            &HdrTxt5TxtBx, &HdrTxt6TxtBx, &HdrTxt7TxtBx};
    for (int k = 1; k <= 7; ++k) {
        auto* label = new QLabel(QStringLiteral("Comment Column %1:").arg(k), this);
        label->setObjectName(QStringLiteral("Label%1").arg(k));
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("HdrTxt%1TxtBx").arg(k));
        box->setAccessibleName(QStringLiteral("Comment column %1 header text").arg(k));
        box->setMinimumWidth(220);
        comments::KeepSingleLine(box);
        label->setBuddy(box);
        grid->addWidget(label, k - 1, 0);
        grid->addWidget(box, k - 1, 1);
        *labels[k - 1] = label;
        *boxes[k - 1] = box;
    }
    outer->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    connect(OKButton, &QPushButton::clicked, this, [this] {
        for (int k = 1; k <= 7; ++k) CCHdr(k) = Box(k)->text().trimmed();
        Changed = true;
        accept();
    });
    connect(CancelButton, &QPushButton::clicked, this, [this] {
        Changed = false;
        reject();
    });
}

QString& dlgHeaderText::CCHdr(int k)
{
    QString* fields[7] = {&CCHdr1, &CCHdr2, &CCHdr3, &CCHdr4, &CCHdr5, &CCHdr6, &CCHdr7};
    return *fields[qBound(1, k, 7) - 1];
}

QLineEdit* dlgHeaderText::Box(int k) const
{
    QLineEdit* const boxes[7] = {HdrTxt1TxtBx, HdrTxt2TxtBx, HdrTxt3TxtBx, HdrTxt4TxtBx,
                                 HdrTxt5TxtBx, HdrTxt6TxtBx, HdrTxt7TxtBx};
    return boxes[qBound(1, k, 7) - 1];
}

void dlgHeaderText::Load()
{
    for (int k = 1; k <= 7; ++k) Box(k)->setText(CCHdr(k));
    Changed = false;
}

int dlgHeaderText::exec()
{
    Load();
    HdrTxt1TxtBx->setFocus();
    return QDialog::exec();
}
