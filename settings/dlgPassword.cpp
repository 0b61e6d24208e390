#include "settings/dlgPassword.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "settings/PasswordKeyFilter.h"

namespace {
// Password boxes show a '*' for every character.
const QString kStarEcho = QStringLiteral("QLineEdit { lineedit-password-character: 42; }");
}  // namespace

dlgPassword::dlgPassword(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("dlgPassword"));
    setWindowTitle(QStringLiteral("Enter Password"));
    setModal(true);

    edPassword = new QLineEdit(this);
    edPassword->setObjectName(QStringLiteral("edPassword"));
    edPassword->setEchoMode(QLineEdit::Password);
    edPassword->setStyleSheet(kStarEcho);
    edPassword->setToolTip(QStringLiteral("Enter password to activate option"));
    edPassword->setAccessibleName(QStringLiteral("Password"));
    edPassword->setMinimumWidth(180);
    PasswordKeyFilter::Install(edPassword);

    Ok = new QPushButton(QStringLiteral("Ok"), this);
    Ok->setObjectName(QStringLiteral("Ok"));
    Ok->setDefault(true);
    connect(Ok, &QPushButton::clicked, this, [this] {
        mPW = edPassword->text();
        accept();
    });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(10);
    layout->addWidget(edPassword);
    layout->addWidget(Ok);

    setFixedSize(sizeHint());

    setTabOrder(Ok, edPassword);
}

void dlgPassword::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    edPassword->setFocus(Qt::ActiveWindowFocusReason);
}

void dlgPassword::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void dlgPassword::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        edPassword->setFocus(Qt::ActiveWindowFocusReason);
}
