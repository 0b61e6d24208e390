#pragma once
// The About box: the program's icon, its title line, its version and a one-line description,
// with one OK button that Enter and Esc both press.
#include <QDialog>

class QLabel;
class QPushButton;

class dlgAboutGlimora : public QDialog {
    Q_OBJECT
public:
    explicit dlgAboutGlimora(QWidget* parent = nullptr);

    QLabel* picIcon;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDescription;
    QPushButton* cmdOK;
};

// "Version 2.0.0": each part a plain whole number.
QString VersionText(int major, int minor, int revision);
// The program's version numbers read from a text such as "2.0.0" or "2.1.15-rc1": each missing or
// unreadable part counts as 0.
void ParseVersion(const QString& text, int* major, int* minor, int* revision);
