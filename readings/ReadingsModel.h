#pragma once
// The readings list: one row of seven texts per accepted reading, kept in the order of the
// current sort, and the running averages of the readings listed. Texts are formatted once,
// when the row is added, and compared as text; a row keeps them in a compact form and makes the
// text when it is shown.
#include <QAbstractTableModel>
#include <QItemSelection>
#include <QHash>
#include <array>
#include <cstdint>
#include <vector>

#include "vantrel/MeterReading.h"

// One row of the list: "Date/Time", "Specular", "DOI", "2 Degree", "15 Degree", "Cal STD", "Comment".
// The texts of the first five columns are kept packed in 64 bits each (their digits, in an order
// that sorts as the texts do), the cal standard and the comment as numbers of texts that the list
// keeps once. Beside its texts a row keeps the four values as the meter delivered them (Specular,
// DOI, 2 Degree, 15 Degree), the values the averages were given, for the reading statistics.
struct Reading {
    std::array<uint64_t, 5> Packed{};
    std::array<double, 4> Values{};
    uint32_t CalStd = 0;
    uint32_t Comment = 0;
    // The verdict against the standard checked when the reading was taken, which tints the row:
    // 0 none, then PASS, WARN, FAIL.
    uint8_t Verdict = 0;
};

class ReadingsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 7;
    static const std::array<QString, ColumnCount>& ColumnTitles();
    // Relative widths in twips.
    static const std::array<int, ColumnCount>& ColumnWidths();

    explicit ReadingsModel(QObject* parent = nullptr);

    // An accepted reading: its row (time stamp, the four values in the number format of
    // `digits`, the cal standard as it comes, the trimmed comment) where the current sort puts
    // it, and its values added to the averages. Returns the row's position.
    int AddReading(const MeterReading& reading, int digits, const QString& comment);
    // The running averages of the readings in the list (cleared: no reading yet).
    const MeterReading& Averages() const { return m_averages; }
    int RowCount() const { return static_cast<int>(m_order.size()); }
    // The rows in the order they were taken, whatever the sort: 0 is the oldest still listed.
    const Reading& RowTaken(int index) const { return m_rows[static_cast<std::size_t>(index)]; }
    // The text of a cell of the row taken index-th, as the list shows it.
    QString TakenText(int index, int column) const { return CellText(RowTaken(index), column); }
    // Delete Selection takes the shown, rounded values out of the averages; this is what the
    // deleted rows' delivered values differ from them by, per value, since the list was last
    // empty. The averages the summary shows are the listed values' mean plus this over the count.
    const std::array<double, 4>& RoundingTakenOut() const { return m_roundingTakenOut; }
    // The text of a cell, as the list shows it.
    QString Text(int position, int column) const;
    // Gives the row at position its verdict ("PASS", "WARN", "FAIL"; empty for none) and its tint.
    void SetVerdict(int position, const QString& verdict);

    // Clear Readings: every row removed, the averages cleared, the sort set to Date/Time descending.
    void ClearRows();

    // Delete Selection: removes the selected rows from the first to the last, taking each
    // row's values (parsed back from its texts) out of the averages; then clears the averages when
    // the list is empty, or lowers their message when every remaining row shares their cal standard.
    void DeleteRows(const std::vector<bool>& selected);

    // A click on the header of column n (1 for "Date/Time"): ascending, then descending on the
    // next click of the same column, ascending again on the third.
    void HeaderClicked(int n);
    int SortKey() const { return m_sortKey; }
    Qt::SortOrder SortOrder() const { return m_order_dir; }
    void SortBy(int column, Qt::SortOrder order);

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    void SortChanged(int column, Qt::SortOrder order);

private:
    QString CellText(const Reading& row, int column) const;
    // <0, 0, >0 as the texts of a column compare, letter case aside.
    int Compare(const Reading& a, const Reading& b, int column) const;
    bool Before(uint32_t a, uint32_t b) const;
    void Sort();
    uint64_t Pack(const QString& text, bool date);
    uint32_t Keep(const QString& text);
    void ForgetTexts();

    MeterReading m_averages;
    std::vector<Reading> m_rows;  // storage, in arrival order
    std::vector<QString> m_texts;  // cal standards and comments, each once; and the texts too
        // long to pack
    QHash<QString, uint32_t> m_textNumbers;
    bool m_longTexts = false;  // some cell of the first five columns did not pack
    std::array<double, 4> m_roundingTakenOut{};
    std::vector<uint32_t> m_order;  // display order: indices into m_rows
    int m_sortKey = 0;
    Qt::SortOrder m_order_dir = Qt::DescendingOrder;
    int m_lastClicked = 0;
    bool m_descendingNext = false;
};
