#include "comments/dlgAdditionalComments.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

#include "comments/SingleLine.h"
#include "comments/dlgHeaderText.h"
#include "dialogs/dlgYesNo.h"

dlgAdditionalComments::dlgAdditionalComments(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("dlgAdditionalComments"));
    setWindowTitle(QStringLiteral("Additional Comment Fields"));

    auto* outer = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);

    Label7 = new QLabel(QStringLiteral("Header Text:"), this);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label8 = new QLabel(QStringLiteral("Record Data Text:"), this);
    Label8->setObjectName(QStringLiteral("Label8"));
    grid->addWidget(Label7, 0, 1);
    grid->addWidget(Label8, 0, 2);

    QLabel** labels[6] = {&Label1, &Label2, &Label3, &Label4, &Label5, &Label6};
    QLineEdit** headers[6] = {&Hdr2Txt, &Hdr3Txt, &Hdr4Txt, &Hdr5Txt, &Hdr6Txt, &Hdr7Txt};
    QLineEdit** data[6] = {&Data2Txt, &Data3Txt, &Data4Txt, &Data5Txt, &Data6Txt, &Data7Txt};

    QPalette locked = palette();
    locked.setColor(QPalette::Base, locked.color(QPalette::Window));

    for (int k = 2; k <= 7; ++k) {
        const int row = k - 1;
        auto* label = new QLabel(QStringLiteral("Column %1:").arg(k), this);
        label->setObjectName(QStringLiteral("Label%1").arg(k - 1));

        auto* hdr = new QLineEdit(this);
        hdr->setObjectName(QStringLiteral("Hdr%1Txt").arg(k));
        hdr->setReadOnly(true);
        hdr->setPalette(locked);
        hdr->setToolTip(QStringLiteral("User Comment Column %1 Header Text").arg(k));
        hdr->setAccessibleName(QStringLiteral("Column %1 header text").arg(k));
        hdr->setMinimumWidth(160);

        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("Data%1Txt").arg(k));
        box->setToolTip(QStringLiteral("Column %1 Comment Text").arg(k));
        box->setAccessibleName(QStringLiteral("Column %1 comment text").arg(k));
        box->setMinimumWidth(220);
        comments::KeepSingleLine(box);
        label->setBuddy(box);

        grid->addWidget(label, row, 0);
        grid->addWidget(hdr, row, 1);
        grid->addWidget(box, row, 2);
        *labels[k - 2] = label;
        *headers[k - 2] = hdr;
        *data[k - 2] = box;
    }
    outer->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    HeaderBtn = new QPushButton(QStringLiteral("Change Headers"), this);
    HeaderBtn->setObjectName(QStringLiteral("HeaderBtn"));
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    buttons->addWidget(HeaderBtn);
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(Data2Txt, Data3Txt);
    setTabOrder(Data3Txt, Data4Txt);
    setTabOrder(Data4Txt, Data5Txt);
    setTabOrder(Data5Txt, Data6Txt);
    setTabOrder(Data6Txt, Data7Txt);
    setTabOrder(Data7Txt, HeaderBtn);
    setTabOrder(HeaderBtn, OKButton);
    setTabOrder(OKButton, CancelButton);
    // The locked header boxes come last: readable and copyable, out of the way when typing.
    setTabOrder(CancelButton, Hdr2Txt);
    setTabOrder(Hdr2Txt, Hdr3Txt);
    setTabOrder(Hdr3Txt, Hdr4Txt);
    setTabOrder(Hdr4Txt, Hdr5Txt);
    setTabOrder(Hdr5Txt, Hdr6Txt);
    setTabOrder(Hdr6Txt, Hdr7Txt);

    connect(OKButton, &QPushButton::clicked, this, [this] {
        for (int k = 2; k <= 7; ++k) CColText(k) = DataBox(k)->text().trimmed();
        UseTheData = true;
        accept();
    });
    connect(CancelButton, &QPushButton::clicked, this, [this] {
        UseTheData = false;
        reject();
    });
    connect(HeaderBtn, &QPushButton::clicked, this, &dlgAdditionalComments::ChangeHeaders);
}

QString& dlgAdditionalComments::CColText(int k)
{
    QString* fields[6] = {&CCol2Text, &CCol3Text, &CCol4Text, &CCol5Text, &CCol6Text, &CCol7Text};
    return *fields[qBound(2, k, 7) - 2];
}

QString& dlgAdditionalComments::CHdrText(int k)
{
    QString* fields[7] = {&CHdr1Text, &CHdr2Text, &CHdr3Text, &CHdr4Text, &CHdr5Text, &CHdr6Text, &CHdr7Text};
    return *fields[qBound(1, k, 7) - 1];
}

QLineEdit* dlgAdditionalComments::HdrBox(int k) const
{
    QLineEdit* const boxes[6] = {Hdr2Txt, Hdr3Txt, Hdr4Txt, Hdr5Txt, Hdr6Txt, Hdr7Txt};
    return boxes[qBound(2, k, 7) - 2];
}

QLineEdit* dlgAdditionalComments::DataBox(int k) const
{
    QLineEdit* const boxes[6] = {Data2Txt, Data3Txt, Data4Txt, Data5Txt, Data6Txt, Data7Txt};
    return boxes[qBound(2, k, 7) - 2];
}

void dlgAdditionalComments::Load()
{
    for (int k = 2; k <= 7; ++k) DataBox(k)->setText(CColText(k));
    RefreshHeaders();
    UseTheData = false;
    HeadersChanged = false;
    m_warningPending = true;
}

void dlgAdditionalComments::RefreshHeaders()
{
    for (int k = 2; k <= 7; ++k) {
        HdrBox(k)->setText(CHdrText(k));
        HdrBox(k)->setCursorPosition(0);
    }
}

int dlgAdditionalComments::exec()
{
    Load();
    Data2Txt->setFocus();
    return QDialog::exec();
}

void dlgAdditionalComments::ChangeHeaders()
{
    if (m_warningPending) {
        m_warningPending = false;
        const int16_t answer = AskYesNo(
            this, QStringLiteral("Change Column Header Text"),
            QStringLiteral("Changing the column headers does not modify the headers in an existing file.")
                + QStringLiteral(" Data is only appended to existing files.  Do you wish to change the headers?"),
            true);
        if (answer != dlgYesNo::Yes) return;
    }

    dlgHeaderText headers(this);
    for (int k = 1; k <= 7; ++k) headers.CCHdr(k) = CHdrText(k);
    headers.exec();
    if (!headers.Changed) return;
    for (int k = 1; k <= 7; ++k) CHdrText(k) = headers.CCHdr(k).trimmed();
    HeadersChanged = true;
    RefreshHeaders();
}
