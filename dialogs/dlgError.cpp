#include "dialogs/dlgError.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "dialogs/Twips.h"
#include "support/Sounds.h"

dlgError::dlgError(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("dlgError"));
    setWindowTitle(QStringLiteral("Unknown Error"));
    setFixedSize(TwipsToPixels(3975), TwipsToPixels(1440));

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(TwipsRect(120, 120, 495, 495));
    Picture1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    Picture1->setAccessibleName(QStringLiteral("Error"));

    ErrMsg = new QLabel(QStringLiteral("Unknown Error"), this);
    ErrMsg->setObjectName(QStringLiteral("ErrMsg"));
    ErrMsg->setGeometry(TwipsRect(720, 120, 3135, 735));
    ErrMsg->setWordWrap(true);
    ErrMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(TwipsRect(1380, 960, 1215, 375));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    support::Sounds().MessageBeep(support::MessageSound::Warning);
}

void ShowErrorDialog(QWidget* parent, const QString& title, const QString& message)
{
    dlgError dialog(parent);
    dialog.setWindowTitle(title);
    dialog.ErrMsg->setText(message);
    dialog.exec();
}
