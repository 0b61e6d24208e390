#pragma once
// "Save Old Data To New File": what happens to the readings already listed when a data file
// is opened. DataHandling: 0 save new readings only, 1 delete the old data, 2 save it too.
#include <QDialog>
#include <cstdint>

class QLabel;
class QPushButton;

class dlgOldDataToNew : public QDialog {
    Q_OBJECT
public:
    enum Handling : int16_t { SaveNewOnly = 0, DeleteOldData = 1, SaveOldToFile = 2 };

    explicit dlgOldDataToNew(QWidget* parent = nullptr);

    int16_t DataHandling = SaveNewOnly;

    QLabel* Image1;
    QLabel* Label1;
    QPushButton* btnSaveToFile;
    QPushButton* btnDeleteData;
    QPushButton* Cancel;

    // Starts from DataHandling 0 and shows the dialog modally.
    int exec() override;

private:
    void Choose(int16_t handling);
};
