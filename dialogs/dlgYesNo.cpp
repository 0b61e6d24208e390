#include "dialogs/dlgYesNo.h"

#include <algorithm>

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "dialogs/Twips.h"
#include "dialogs/WindowRules.h"

dlgYesNo::dlgYesNo(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("dlgYesNo"));
    setWindowTitle(QStringLiteral("Save Dialog"));
    setFixedSize(TwipsToPixels(3855), TwipsToPixels(1740));

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(TwipsRect(120, 120, 495, 495));
    Picture1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    Picture1->setAccessibleName(QStringLiteral("Question"));

    MsgLbl = new QLabel(QStringLiteral("Unknown"), this);
    MsgLbl->setObjectName(QStringLiteral("MsgLbl"));
    MsgLbl->setGeometry(TwipsRect(840, 120, 2775, 855));
    MsgLbl->setWordWrap(true);
    MsgLbl->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto makeButton = [this](const QString& text, const QString& name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        return b;
    };
    YesButton = makeButton(QStringLiteral("Yes"), QStringLiteral("YesButton"));
    CancelButton = makeButton(QStringLiteral("Cancel"), QStringLiteral("CancelButton"));
    NoButton = makeButton(QStringLiteral("No"), QStringLiteral("NoButton"));
    CancelButton->setDefault(true);
    setTabOrder(YesButton, CancelButton);
    setTabOrder(CancelButton, NoButton);
    OpenOnFirstControl(YesButton);

    connect(YesButton, &QPushButton::clicked, this, [this] { Answer(Yes); });
    connect(NoButton, &QPushButton::clicked, this, [this] { Answer(No); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { Answer(Cancel); });
    Load();
}

void dlgYesNo::Load()
{
    const int top = 1200;
    if (HideCancel) {
        CancelButton->setVisible(false);
        YesButton->setGeometry(TwipsRect(827, top, 1000, 375));
        NoButton->setGeometry(TwipsRect(2027, top, 1000, 375));
    } else {
        CancelButton->setVisible(true);
        YesButton->setGeometry(TwipsRect(220, top, 1000, 375));
        NoButton->setGeometry(TwipsRect(1435, top, 1000, 375));
        CancelButton->setGeometry(TwipsRect(2635, top, 1000, 375));
    }
    UserSelection = Cancel;
}

int dlgYesNo::exec()
{
    Load();
    // A question longer than the message area holds pushes the buttons down instead of being
    // cut off.
    const int messageHeight = TwipsToPixels(855);
    const int extra = std::max(0, MsgLbl->heightForWidth(MsgLbl->width()) - messageHeight);
    MsgLbl->resize(MsgLbl->width(), messageHeight + extra);
    for (QPushButton* b : {YesButton, CancelButton, NoButton}) b->move(b->x(), b->y() + extra);
    setFixedSize(TwipsToPixels(3855), TwipsToPixels(1740) + extra);
    return QDialog::exec();
}

void dlgYesNo::keyPressEvent(QKeyEvent* event)
{
    // Enter with no button focused answers as the default button, Cancel, also while Cancel is
    // hidden (the dialog itself passes Enter to visible default buttons only, and a button that
    // had the focus stays the default after the window lost it).
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !qobject_cast<QPushButton*>(focusWidget())) {
        Answer(Cancel);
        return;
    }
    QDialog::keyPressEvent(event);
}

void dlgYesNo::Answer(int16_t value)
{
    UserSelection = value;
    done(value);
}

int16_t AskYesNo(QWidget* parent, const QString& title, const QString& question, bool hideCancel)
{
    dlgYesNo dialog(parent);
    dialog.HideCancel = hideCancel;
    dialog.setWindowTitle(title);
    dialog.MsgLbl->setText(question);
    dialog.exec();
    return dialog.UserSelection;
}
