#pragma once
// The rows the History window shows, as the operator reads them: the texts of one column.
#include <QAbstractItemModel>
#include <QStringList>
#include <QTableView>

inline QStringList HistoryColumn(const QWidget* window, int column)
{
    QStringList texts;
    const auto* table = window->findChild<QTableView*>(QStringLiteral("HistoryTable"));
    const QAbstractItemModel* model = table ? table->model() : nullptr;
    for (int row = 0; model && row < model->rowCount(); ++row) texts << model->index(row, column).data().toString();
    return texts;
}
