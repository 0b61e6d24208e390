#pragma once
// The program's file dialogs for files it is going to write: a name the program could not write
// is refused in the dialog itself, which stays open for another choice, and "*.*" lists every
// file, also names without a point.
#include <QFileDialog>
#include <QString>

// Why path cannot be written by this user, as the dialog tells it; empty when it can. An
// existing file must be writable, a new name needs a folder the user may create files in.
QString WriteRefusal(const QString& path);

// Lets a filter whose pattern is "*.*" list every file, now and whenever the operator chooses a
// filter; the filter's caption stays as it is. Called once per dialog, after its filters are set.
void ListEveryFileForStarDotStar(QFileDialog& dialog);

// A non-native file dialog whose accept() refuses names that cannot be written.
class FileChooser : public QFileDialog {
    Q_OBJECT
public:
    explicit FileChooser(QWidget* parent = nullptr);

    void accept() override;

protected:
    // Checks the chosen (not a folder) name; empty when it may be taken, else the message.
    virtual QString Refusal(const QString& path) const;
};
