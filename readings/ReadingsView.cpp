#include "readings/ReadingsView.h"

#include <QHeaderView>

#include "readings/ReadingsModel.h"

ReadingsView::ReadingsView(ReadingsModel* model, QWidget* parent)
    : QTableView(parent)
    , m_model(model)
{
    setModel(model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the list for the next control of the window; the arrow keys move inside it.
    setTabKeyNavigation(false);
    setAlternatingRowColors(true);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    for (int c = 0; c < ReadingsModel::ColumnCount; ++c)
        setColumnWidth(c, ReadingsModel::ColumnWidths()[static_cast<std::size_t>(c)] / 15);
    setAccessibleName(QStringLiteral("Readings"));

    connect(horizontalHeader(), &QHeaderView::sectionClicked, model,
            [model](int section) { model->HeaderClicked(section + 1); });
    connect(model, &ReadingsModel::SortChanged, this,
            [this](int column, Qt::SortOrder order) { horizontalHeader()->setSortIndicator(column, order); });
    horizontalHeader()->setSortIndicator(model->SortKey(), model->SortOrder());
}

std::vector<bool> ReadingsView::SelectionMask() const
{
    std::vector<bool> mask(static_cast<std::size_t>(m_model->RowCount()), false);
    if (!selectionModel()) return mask;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            if (r >= 0 && static_cast<std::size_t>(r) < mask.size()) mask[static_cast<std::size_t>(r)] = true;
    return mask;
}
