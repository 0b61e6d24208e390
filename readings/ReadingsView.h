#pragma once
// The report-style view of the readings list: seven columns, several rows selectable, a click
// on a column header sorts by that column.
#include <QTableView>
#include <vector>

class ReadingsModel;

class ReadingsView : public QTableView {
    Q_OBJECT
public:
    ReadingsView(ReadingsModel* model, QWidget* parent = nullptr);
    // One flag per row in display order: selected or not.
    std::vector<bool> SelectionMask() const;

private:
    ReadingsModel* m_model;
};
