#pragma once
// The window "Standards": the list of standards and, for the one chosen, its name and for each
// measured value whether it is judged, its target, its limits and its warning band. Reading the
// standards asks nothing; the first change of an opening (Save or Delete) asks the caller's
// authorization (the password of the guarded meter commands), and a refusal changes nothing.
#include <QDialog>
#include <array>
#include <functional>

#include "quality/Verdict.h"

class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quality {

class StandardsLibrary;

class StandardsEditor : public QDialog {
    Q_OBJECT
public:
    StandardsEditor(StandardsLibrary& library, std::function<bool()> authorize, QWidget* parent = nullptr);

    struct ToleranceRow {
        QCheckBox* judged;
        QDoubleSpinBox *target, *lower, *upper, *warn;
    };
    QListWidget* lstStandards;
    QLineEdit* txtName;
    std::array<ToleranceRow, kParameterCount> rows;
    QPushButton *btnAdd, *btnCopy, *btnDelete, *btnSave, *btnClose;

private:
    void Reload(const QString& select);
    void ShowStandard(const Standard& standard);
    Standard FormStandard() const;
    void Chosen();
    void Add();
    void Copy();
    void Delete();
    void Save();
    bool Authorized();

    StandardsLibrary& m_library;
    std::function<bool()> m_authorize;
    bool m_authorized = false;
    QString m_editingId;  // the standard the form holds; empty for a new one
};

}  // namespace quality
