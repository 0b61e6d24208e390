#pragma once
// What the data file asks the operator while it opens and writes a file. The program answers
// through the real dialogs (DataFileDialogs); the data file itself shows nothing.
#include <QString>
#include <cstdint>

class DataFilePrompts {
public:
    virtual ~DataFilePrompts() = default;
    // File > New (forNew) and File > Open: the chosen full path, empty text when cancelled.
    virtual QString ChooseFile(bool forNew) = 0;
    // "Save Old Data To New File": the operator's choice for the readings already listed, as
    // dlgOldDataToNew::DataHandling (0 save new only, 1 delete old data, 2 save old to file).
    virtual int16_t AskDataHandling() = 0;
    // The file's first line is not a data file header: true when the operator answers Yes to
    // writing to it all the same.
    virtual bool AskContinueUnrecognized() = 0;
    // The "File Error" notice with the message.
    virtual void ShowFileError(const QString& message) = 0;
};
