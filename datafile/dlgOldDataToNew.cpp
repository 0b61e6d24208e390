#include "datafile/dlgOldDataToNew.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

dlgOldDataToNew::dlgOldDataToNew(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("dlgOldDataToNew"));
    setWindowTitle(QStringLiteral("Save Old Data To New File"));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    Image1->setAccessibleName(QStringLiteral("Question"));
    Image1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    Label1 =
        new QLabel(QStringLiteral("There is data remaining in the application list box.  Do you wish to save this data "
                                  "to the new file, delete the data before opening the file or just save the new "
                                  "readings taken to the file?"),
                   this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setFixedWidth(340);
    Label1->setMinimumHeight(4 * Label1->fontMetrics().lineSpacing());

    // Created in tab order: "Save New Only" comes first.
    Cancel = new QPushButton(QStringLiteral("Save New Only"), this);
    Cancel->setObjectName(QStringLiteral("Cancel"));
    btnSaveToFile = new QPushButton(QStringLiteral("Save Old To File"), this);
    btnSaveToFile->setObjectName(QStringLiteral("btnSaveToFile"));
    btnDeleteData = new QPushButton(QStringLiteral("Delete Old Data"), this);
    btnDeleteData->setObjectName(QStringLiteral("btnDeleteData"));
    // Enter presses the button that has the focus; "Save New Only" only when none has it.
    Cancel->setDefault(true);
    setTabOrder(Cancel, btnSaveToFile);
    setTabOrder(btnSaveToFile, btnDeleteData);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Image1, 0, 0, Qt::AlignTop);
    grid->addWidget(Label1, 0, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnSaveToFile);
    buttons->addWidget(btnDeleteData);
    buttons->addWidget(Cancel);
    grid->addLayout(buttons, 1, 0, 1, 2);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(12);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnSaveToFile, &QPushButton::clicked, this, [this] { Choose(SaveOldToFile); });
    connect(btnDeleteData, &QPushButton::clicked, this, [this] { Choose(DeleteOldData); });
    connect(Cancel, &QPushButton::clicked, this, [this] { Choose(SaveNewOnly); });
}

int dlgOldDataToNew::exec()
{
    DataHandling = SaveNewOnly;
    Cancel->setFocus();
    return QDialog::exec();
}

void dlgOldDataToNew::Choose(int16_t handling)
{
    DataHandling = handling;
    done(handling == SaveNewOnly ? Rejected : Accepted);
}
