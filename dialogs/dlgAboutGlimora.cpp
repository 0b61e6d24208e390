#include "dialogs/dlgAboutGlimora.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStringList>

#include "dialogs/Twips.h"
#include "resources/GlimoraIcon.h"

#ifndef GLIMORA_VERSION
#define GLIMORA_VERSION "0.0.0"
#endif

namespace {

const QString kAppTitle = QStringLiteral("Glimora");

int LeadingWholeNumber(const QString& text)
{
    long long value = 0;
    for (const QChar c : text.trimmed()) {
        if (!c.isDigit() || c.unicode() > 127) break;
        value = value * 10 + (c.unicode() - '0');
        if (value > 999999) return 0;
    }
    return static_cast<int>(value);
}

}  // namespace

QString VersionText(int major, int minor, int revision)
{
    return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

void ParseVersion(const QString& text, int* major, int* minor, int* revision)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    int* out[] = {major, minor, revision};
    for (int i = 0; i < 3; ++i) *out[i] = i < parts.size() ? LeadingWholeNumber(parts.at(i)) : 0;
}

dlgAboutGlimora::dlgAboutGlimora(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("dlgAboutGlimora"));
    setFixedSize(TwipsToPixels(4515), TwipsToPixels(2280));
    setWindowIcon(GlimoraIcon());

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(TwipsRect(240, 240, 480, 480));
    picIcon->setAccessibleName(QStringLiteral("Glimora icon"));
    const QRect iconBox = picIcon->geometry();
    picIcon->setPixmap(GlimoraIcon().pixmap(iconBox.size(), devicePixelRatio()));
    picIcon->setScaledContents(true);

    lblTitle = new QLabel(this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setGeometry(TwipsRect(1050, 240, 3165, 480));
    lblTitle->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont titleFont = lblTitle->font();
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setGeometry(TwipsRect(1050, 780, 3165, 225));

    lblDescription = new QLabel(QStringLiteral("Application to communicate with the KALDEX Systems Haze Meter."), this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setGeometry(TwipsRect(1050, 1125, 3165, 570));
    lblDescription->setWordWrap(true);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(TwipsRect(1627, 1800, 1260, 345));
    cmdOK->setDefault(true);
    cmdOK->setFocus();
    // OK is both the default and the cancel button: Enter presses it, and so does Escape, which
    // a dialog turns into reject().
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    // As the dialog loads: the title, then the version, then the title line.
    setWindowTitle(QStringLiteral("About ") + kAppTitle);
    QString version = QCoreApplication::applicationVersion();
    if (version.trimmed().isEmpty()) version = QStringLiteral(GLIMORA_VERSION);
    int major = 0;
    int minor = 0;
    int revision = 0;
    ParseVersion(version, &major, &minor, &revision);
    lblVersion->setText(VersionText(major, minor, revision));
    lblTitle->setText(kAppTitle + QStringLiteral(" 2026 KALDEX Systems"));
}
