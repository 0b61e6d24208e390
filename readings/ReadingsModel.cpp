#include "readings/ReadingsModel.h"

#include <QColor>

#include <algorithm>

#include "support/Numbers.h"

const std::array<QString, ReadingsModel::ColumnCount>& ReadingsModel::ColumnTitles()
{
    static const std::array<QString, ColumnCount> titles = {
        QStringLiteral("Date/Time"), QStringLiteral("Specular"), QStringLiteral("DOI"), QStringLiteral("2 Degree"),
        QStringLiteral("15 Degree"), QStringLiteral("Cal STD"), QStringLiteral("Comment")};
    return titles;
}

const std::array<int, ReadingsModel::ColumnCount>& ReadingsModel::ColumnWidths()
{
    static const std::array<int, ColumnCount> widths = {3528, 1764, 1764, 1764, 1764, 1764, 3528};
    return widths;
}

ReadingsModel::ReadingsModel(QObject* parent)
    : QAbstractTableModel(parent)
{
    m_averages.Clear();
}

int ReadingsModel::AddReading(const MeterReading& reading, int digits, const QString& comment)
{
    const int position = AddRow(MakeReading(reading, digits, comment));
    m_averages.Add(reading);
    return position;
}

Reading ReadingsModel::MakeReading(const MeterReading& reading, int digits, const QString& comment)
{
    Reading row;
    row.Cells[0] = support::FormatDateTime(reading.TimeStamp);
    row.Cells[1] = support::FormatValue(reading.Specular(), digits);
    row.Cells[2] = support::FormatValue(reading.DOI(), digits);
    row.Cells[3] = support::FormatValue(reading.Deg2(), digits);
    row.Cells[4] = support::FormatValue(reading.Deg15(), digits);
    row.Cells[5] = reading.CalStd();
    row.Cells[6] = comment.trimmed();
    row.Values = {reading.Specular(), reading.DOI(), reading.Deg2(), reading.Deg15()};
    return row;
}

bool ReadingsModel::Before(uint32_t a, uint32_t b) const
{
    const auto key = static_cast<std::size_t>(m_sortKey);
    const int c = m_rows[a].Cells[key].compare(m_rows[b].Cells[key], Qt::CaseInsensitive);
    return m_order_dir == Qt::AscendingOrder ? c < 0 : c > 0;
}

int ReadingsModel::AddRow(const Reading& row)
{
    m_rows.push_back(row);
    const auto index = static_cast<uint32_t>(m_rows.size() - 1);
    // After every row that sorts before or equal to the new one.
    const auto it = std::upper_bound(m_order.begin(), m_order.end(), index,
                                     [this](uint32_t a, uint32_t b) { return Before(a, b); });
    const int position = static_cast<int>(it - m_order.begin());
    beginInsertRows(QModelIndex(), position, position);
    m_order.insert(it, index);
    endInsertRows();
    return position;
}

void ReadingsModel::ClearRows()
{
    beginResetModel();
    m_rows.clear();
    m_order.clear();
    m_roundingTakenOut = {};
    endResetModel();
    m_averages.Clear();
    SortBy(0, Qt::DescendingOrder);
}

void ReadingsModel::DeleteRows(const std::vector<bool>& selected)
{
    const std::size_t n = m_order.size();
    std::vector<bool> deleted(m_rows.size(), false);
    bool any = false;
    for (std::size_t pos = 0; pos < n && pos < selected.size(); ++pos) {
        if (!selected[pos]) continue;
        const Reading& r = m_rows[m_order[pos]];
        const std::array<double, 4> shown = {support::LeadingNumber(r.Cells[1]), support::LeadingNumber(r.Cells[2]),
                                             support::LeadingNumber(r.Cells[3]), support::LeadingNumber(r.Cells[4])};
        m_averages.Remove(shown[0], shown[1], shown[2], shown[3]);
        for (std::size_t c = 0; c < shown.size(); ++c) m_roundingTakenOut[c] += r.Values[c] - shown[c];
        deleted[m_order[pos]] = true;
        any = true;
    }
    if (any) {
        // The remaining rows keep both their order taken and their place in the sort.
        beginResetModel();
        std::vector<Reading> rows;
        std::vector<uint32_t> newIndex(m_rows.size());
        rows.reserve(m_rows.size());
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            if (deleted[i]) continue;
            newIndex[i] = static_cast<uint32_t>(rows.size());
            rows.push_back(std::move(m_rows[i]));
        }
        std::vector<uint32_t> order;
        order.reserve(rows.size());
        for (uint32_t index : m_order)
            if (!deleted[index]) order.push_back(newIndex[index]);
        m_rows = std::move(rows);
        m_order = std::move(order);
        if (m_order.empty()) m_roundingTakenOut = {};
        endResetModel();
    }

    if (m_order.empty()) {
        m_averages.Clear();
        return;
    }
    const QString calStd = m_averages.CalStd();
    for (uint32_t index : m_order)
        if (m_rows[index].Cells[5] != calStd) return;
    m_averages.ClearMessage();
}

void ReadingsModel::HeaderClicked(int n)
{
    Qt::SortOrder order;
    if (n == m_lastClicked && m_descendingNext) {
        order = Qt::DescendingOrder;
        m_descendingNext = false;
    } else {
        order = Qt::AscendingOrder;
        m_descendingNext = true;
    }
    m_lastClicked = n;
    SortBy(n - 1, order);
}

void ReadingsModel::SortBy(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<uint32_t> oldRowsOfPersistent;
    for (const QModelIndex& i : before) oldRowsOfPersistent.push_back(m_order[static_cast<std::size_t>(i.row())]);

    m_sortKey = column;
    m_order_dir = order;
    // Restore arrival order first so that equal texts keep a stable, predictable order.
    std::sort(m_order.begin(), m_order.end());
    std::stable_sort(m_order.begin(), m_order.end(), [this](uint32_t a, uint32_t b) { return Before(a, b); });

    if (!before.isEmpty()) {
        std::vector<int> positionOf(m_rows.size());
        for (std::size_t pos = 0; pos < m_order.size(); ++pos) positionOf[m_order[pos]] = static_cast<int>(pos);
        QModelIndexList after;
        for (std::size_t k = 0; k < oldRowsOfPersistent.size(); ++k)
            after.append(index(positionOf[oldRowsOfPersistent[k]], before[static_cast<int>(k)].column()));
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    emit SortChanged(column, order);
}

int ReadingsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : RowCount();
}

int ReadingsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

void ReadingsModel::SetVerdict(int position, const QString& verdict)
{
    if (position < 0 || position >= RowCount()) return;
    m_rows[m_order[static_cast<std::size_t>(position)]].Verdict = verdict;
    emit dataChanged(index(position, 0), index(position, ColumnCount - 1), {Qt::BackgroundRole, Qt::AccessibleDescriptionRole});
}

QVariant ReadingsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= RowCount() || index.column() >= ColumnCount) return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
        return Text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole)
        return (index.column() >= 1 && index.column() <= 4) ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                           : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (role == Qt::BackgroundRole || role == Qt::AccessibleDescriptionRole) {
        const QString& verdict = Row(index.row()).Verdict;
        if (verdict.isEmpty()) return {};
        if (role == Qt::AccessibleDescriptionRole) return QStringLiteral("Verdict: ") + verdict;
        // Light green, amber and red: the row's text stays readable on each.
        return QColor(verdict == QLatin1String("PASS") ? 0xc8f0c8 : verdict == QLatin1String("WARN") ? 0xffe0a0 : 0xffb8b8);
    }
    return {};
}

QVariant ReadingsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section >= 0 && section < ColumnCount
        && (role == Qt::DisplayRole || role == Qt::AccessibleTextRole))
        return ColumnTitles()[static_cast<std::size_t>(section)];
    if (orientation == Qt::Vertical && role == Qt::DisplayRole) return section + 1;
    return {};
}
