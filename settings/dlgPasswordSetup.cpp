#include "settings/dlgPasswordSetup.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/PasswordKeyFilter.h"
#include "dialogs/WindowRules.h"

namespace {
const QString kStarEcho = QStringLiteral("QLineEdit { lineedit-password-character: 42; }");

QLineEdit* MakePasswordBox(QWidget* parent, const QString& name, const QString& tip, const QString& accessible)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(kStarEcho);
    edit->setToolTip(tip);
    edit->setAccessibleName(accessible);
    edit->setMinimumWidth(200);
    return edit;
}
}  // namespace

dlgPasswordSetup::dlgPasswordSetup(Preferences& prefs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_prefs(prefs)
{
    setObjectName(QStringLiteral("dlgPasswordSetup"));
    setWindowTitle(QStringLiteral("Password Setup"));
    setModal(true);

    Label1 = new QLabel(QStringLiteral("Enter Current Password"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    txtCurrentPW = MakePasswordBox(this, QStringLiteral("txtCurrentPW"),
                                   QStringLiteral("Enter current password to activate new password entry section"),
                                   QStringLiteral("Enter Current Password"));
    txtCurrentPW->setMaxLength(12);
    Label1->setBuddy(txtCurrentPW);

    Frame1 = new QGroupBox(QStringLiteral("New Password "), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Label2 = new QLabel(QStringLiteral("Enter New Password"), Frame1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setToolTip(QStringLiteral("Enter new password"));
    txtNewPW1 = MakePasswordBox(Frame1, QStringLiteral("txtNewPW1"), QStringLiteral("Enter new password"),
                                QStringLiteral("Enter New Password"));
    Label2->setBuddy(txtNewPW1);
    Label3 = new QLabel(QStringLiteral("Re-Enter New Password"), Frame1);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setToolTip(QStringLiteral("Re-Enter new password to verify"));
    txtNewPW2 = MakePasswordBox(Frame1, QStringLiteral("txtNewPW2"), QStringLiteral("Enter new password"),
                                QStringLiteral("Re-Enter New Password"));
    Label3->setBuddy(txtNewPW2);
    PasswordKeyFilter::Install(txtNewPW1);
    PasswordKeyFilter::Install(txtNewPW2);

    auto* frameLayout = new QVBoxLayout(Frame1);
    frameLayout->setSpacing(4);
    frameLayout->addWidget(Label2);
    frameLayout->addWidget(txtNewPW1);
    frameLayout->addSpacing(6);
    frameLayout->addWidget(Label3);
    frameLayout->addWidget(txtNewPW2);

    Ok = new QPushButton(QStringLiteral("Ok"), this);
    Ok->setObjectName(QStringLiteral("Ok"));
    Ok->setToolTip(QStringLiteral("Exit and Save"));
    Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    Cancel->setObjectName(QStringLiteral("Cancel"));
    Cancel->setToolTip(QStringLiteral("Exit without save"));
    Cancel->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Cancel);
    buttons->addStretch(1);
    buttons->addWidget(Ok);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(4);
    layout->addWidget(Label1);
    layout->addWidget(txtCurrentPW);
    layout->addSpacing(8);
    layout->addWidget(Frame1);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    setFixedSize(sizeHint());

    setTabOrder(Ok, txtCurrentPW);
    setTabOrder(txtCurrentPW, txtNewPW1);
    setTabOrder(txtNewPW1, txtNewPW2);
    setTabOrder(txtNewPW2, Cancel);

    // Load: the new-password section stays closed until the current password is known.
    SetNewSectionEnabled(false);
    Ok->setEnabled(false);
    txtNewPW1->clear();
    txtNewPW2->clear();
    if (m_prefs.Password.isEmpty()) {
        Label1->setEnabled(false);
        txtCurrentPW->setEnabled(false);
        SetNewSectionEnabled(true);
        Ok->setEnabled(true);
    }
    OpenOnFirstControl(Ok);

    connect(txtCurrentPW, &QLineEdit::textChanged, this, &dlgPasswordSetup::CurrentChanged);
    connect(txtNewPW1, &QLineEdit::textChanged, this, &dlgPasswordSetup::NewChanged);
    connect(txtNewPW2, &QLineEdit::textChanged, this, &dlgPasswordSetup::NewChanged);
    connect(Ok, &QPushButton::clicked, this, &dlgPasswordSetup::Save);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void dlgPasswordSetup::SetNewSectionEnabled(bool enabled)
{
    Frame1->setEnabled(enabled);
    Label2->setEnabled(enabled);
    Label3->setEnabled(enabled);
    txtNewPW1->setEnabled(enabled);
    txtNewPW2->setEnabled(enabled);
}

void dlgPasswordSetup::CurrentChanged()
{
    const bool match = txtCurrentPW->text() == m_prefs.Password;
    SetNewSectionEnabled(match);
    txtNewPW1->clear();
    txtNewPW2->clear();
    Ok->setEnabled(match);
}

void dlgPasswordSetup::NewChanged()
{
    Ok->setEnabled(txtNewPW1->text() == txtNewPW2->text());
}

void dlgPasswordSetup::Save()
{
    m_prefs.Password = txtNewPW1->text();
    if (m_prefs.Password.isEmpty()) {
        m_prefs.PasswordProtection = false;
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Password Protection Warning"),
                        QStringLiteral("Password Protection will be disabled. Calibration can be at risk."),
                        QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("PasswordProtectionWarning"));
        box.exec();
    } else {
        m_prefs.PasswordProtection = true;
    }
    accept();
}

void dlgPasswordSetup::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void PasswordCommand(Preferences& prefs, QWidget* parent)
{
    dlgPasswordSetup dialog(prefs, parent);
    dialog.exec();
}
