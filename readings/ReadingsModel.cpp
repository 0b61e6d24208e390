#include "readings/ReadingsModel.h"

#include <QColor>

#include <algorithm>
#include <cstring>

#include "support/Numbers.h"

namespace {

// A packed cell whose text did not pack: its low 32 bits number it among the list's texts.
constexpr uint64_t kLong = uint64_t(1) << 63;
constexpr int kNumberChars = 15;
constexpr char kDateLayout[] = "00/00/0000 00:00:00";  // 0 stands for a digit
constexpr int kDateChars = int(sizeof kDateLayout) - 1;

// A value's text ("-12.50", "85.") packs four bits a character, the first character highest,
// 0 for the end, '-' 1, '.' 2, '0'..'9' 3..12: the numbers then order as the texts do.
bool PackNumber(const QString& text, uint64_t& packed)
{
    if (text.size() > kNumberChars) return false;
    packed = 0;
    for (int i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const uint64_t code = c == u'-' ? 1 : c == u'.' ? 2 : (c >= u'0' && c <= u'9') ? uint64_t(c - u'0' + 3) : 0;
        if (code == 0) return false;
        packed |= code << (4 * (kNumberChars - 1 - i));
    }
    return true;
}

QString UnpackNumber(uint64_t packed)
{
    char text[kNumberChars];
    int n = 0;
    for (; n < kNumberChars; ++n) {
        const auto code = static_cast<int>((packed >> (4 * (kNumberChars - 1 - n))) & 0xF);
        if (code == 0) break;
        text[n] = code == 1 ? '-' : code == 2 ? '.' : static_cast<char>('0' + code - 3);
    }
    return QString::fromLatin1(text, n);
}

// A time stamp's text ("07/04/2002 14:05:09") packs as its fourteen digits read as one number:
// the other characters are the same in every row, so the numbers order as the texts do.
bool PackDate(const QString& text, uint64_t& packed)
{
    if (text.size() != kDateChars) return false;
    packed = 0;
    for (int i = 0; i < kDateChars; ++i) {
        const char16_t c = text[i].unicode();
        if (kDateLayout[i] != '0') {
            if (c != char16_t(kDateLayout[i])) return false;
        } else if (c >= u'0' && c <= u'9') {
            packed = packed * 10 + (c - u'0');
        } else {
            return false;
        }
    }
    return true;
}

QString UnpackDate(uint64_t packed)
{
    char text[sizeof kDateLayout];
    std::memcpy(text, kDateLayout, sizeof kDateLayout);
    for (int i = kDateChars - 1; i >= 0; --i) {
        if (kDateLayout[i] != '0') continue;
        text[i] = static_cast<char>('0' + packed % 10);
        packed /= 10;
    }
    return QString::fromLatin1(text, kDateChars);
}

}  // namespace

const std::array<QString, ReadingsModel::ColumnCount>& ReadingsModel::ColumnTitles()
{
    static const std::array<QString, ColumnCount> titles = {
        QStringLiteral("Date/Time"), QStringLiteral("Specular"), QStringLiteral("DOI"),    QStringLiteral("2 Degree"),
        QStringLiteral("15 Degree"), QStringLiteral("Cal STD"),  QStringLiteral("Comment")};
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
    Reading row;
    row.Values = {reading.Specular(), reading.DOI(), reading.Deg2(), reading.Deg15()};
    row.Packed[0] = Pack(support::FormatDateTime(reading.TimeStamp), true);
    for (std::size_t v = 0; v < row.Values.size(); ++v)
        row.Packed[v + 1] = Pack(support::FormatValue(row.Values[v], digits), false);
    row.CalStd = Keep(reading.CalStd());
    row.Comment = Keep(comment.trimmed());

    m_rows.push_back(row);
    const auto index = static_cast<uint32_t>(m_rows.size() - 1);
    // After every row that sorts before or equal to the new one.
    const auto it = std::upper_bound(m_order.begin(), m_order.end(), index,
                                     [this](uint32_t a, uint32_t b) { return Before(a, b); });
    const int position = static_cast<int>(it - m_order.begin());
    beginInsertRows(QModelIndex(), position, position);
    m_order.insert(it, index);
    endInsertRows();
    m_averages.Add(reading);
    return position;
}

uint64_t ReadingsModel::Pack(const QString& text, bool date)
{
    uint64_t packed = 0;
    if (date ? PackDate(text, packed) : PackNumber(text, packed)) return packed;
    // Kept whole: never shared with a cal standard or comment of the same text.
    m_texts.push_back(text);
    m_longTexts = true;
    return kLong | static_cast<uint32_t>(m_texts.size() - 1);
}

uint32_t ReadingsModel::Keep(const QString& text)
{
    const auto found = m_textNumbers.constFind(text);
    if (found != m_textNumbers.cend()) return found.value();
    const auto number = static_cast<uint32_t>(m_texts.size());
    m_texts.push_back(text);
    m_textNumbers.insert(text, number);
    return number;
}

void ReadingsModel::ForgetTexts()
{
    m_texts = {};
    m_textNumbers = {};
    m_longTexts = false;
}

QString ReadingsModel::CellText(const Reading& row, int column) const
{
    if (column == 5) return m_texts[row.CalStd];
    if (column == 6) return m_texts[row.Comment];
    const uint64_t packed = row.Packed[static_cast<std::size_t>(column)];
    if (packed & kLong) return m_texts[static_cast<uint32_t>(packed)];
    return column == 0 ? UnpackDate(packed) : UnpackNumber(packed);
}

QString ReadingsModel::Text(int position, int column) const
{
    return CellText(m_rows[m_order[static_cast<std::size_t>(position)]], column);
}

int ReadingsModel::Compare(const Reading& a, const Reading& b, int column) const
{
    if (column < 5) {
        const uint64_t x = a.Packed[static_cast<std::size_t>(column)], y = b.Packed[static_cast<std::size_t>(column)];
        if (!((x | y) & kLong)) return x < y ? -1 : x > y ? 1 : 0;
    } else if ((column == 5 ? a.CalStd == b.CalStd : a.Comment == b.Comment)) {
        return 0;
    }
    return CellText(a, column).compare(CellText(b, column), Qt::CaseInsensitive);
}

bool ReadingsModel::Before(uint32_t a, uint32_t b) const
{
    const int c = Compare(m_rows[a], m_rows[b], m_sortKey);
    return m_order_dir == Qt::AscendingOrder ? c < 0 : c > 0;
}

void ReadingsModel::ClearRows()
{
    beginResetModel();
    m_rows.clear();
    m_order.clear();
    m_roundingTakenOut = {};
    ForgetTexts();
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
        const std::array<double, 4> shown = {
            support::LeadingNumber(CellText(r, 1)), support::LeadingNumber(CellText(r, 2)),
            support::LeadingNumber(CellText(r, 3)), support::LeadingNumber(CellText(r, 4))};
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
        if (m_order.empty()) {
            m_roundingTakenOut = {};
            ForgetTexts();
        }
        endResetModel();
    }

    if (m_order.empty()) {
        m_averages.Clear();
        return;
    }
    // The list keeps each text once, so equal numbers are equal texts.
    const auto calStd = m_textNumbers.constFind(m_averages.CalStd());
    if (calStd == m_textNumbers.cend()) return;
    for (uint32_t index : m_order)
        if (m_rows[index].CalStd != calStd.value()) return;
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
    Sort();

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

// Puts m_order in the order of the sort; rows of equal texts stay in the order taken.
void ReadingsModel::Sort()
{
    std::sort(m_order.begin(), m_order.end());
    // Each row's place in the order of its column's texts as one number: the packed cell, or the
    // rank of its text among the list's texts.
    std::vector<uint64_t> rank;
    if (m_sortKey >= 5) {
        std::vector<uint32_t> texts(m_texts.size());
        for (uint32_t t = 0; t < texts.size(); ++t) texts[t] = t;
        const auto compare = [this](uint32_t a, uint32_t b) {
            return m_texts[a].compare(m_texts[b], Qt::CaseInsensitive);
        };
        std::sort(texts.begin(), texts.end(), [&](uint32_t a, uint32_t b) { return compare(a, b) < 0; });
        rank.resize(texts.size());
        for (std::size_t t = 1; t < texts.size(); ++t)
            rank[texts[t]] = rank[texts[t - 1]] + (compare(texts[t - 1], texts[t]) != 0 ? 1 : 0);
    } else if (m_longTexts) {
        std::stable_sort(m_order.begin(), m_order.end(), [this](uint32_t a, uint32_t b) { return Before(a, b); });
        return;
    }
    const auto key = static_cast<std::size_t>(m_sortKey);
    std::vector<std::pair<uint64_t, uint32_t>> keyed(m_order.size());
    for (uint32_t i = 0; i < keyed.size(); ++i) {
        const Reading& row = m_rows[i];
        keyed[i] = {key < 5 ? row.Packed[key] : rank[key == 5 ? row.CalStd : row.Comment], i};
    }
    if (m_order_dir == Qt::AscendingOrder) std::sort(keyed.begin(), keyed.end());
    else
        std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        });
    for (std::size_t i = 0; i < keyed.size(); ++i) m_order[i] = keyed[i].second;
}

int ReadingsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : RowCount();
}

int ReadingsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

namespace {
constexpr std::array<const char*, 3> kVerdicts{"PASS", "WARN", "FAIL"};
}

void ReadingsModel::SetVerdict(int position, const QString& verdict)
{
    if (position < 0 || position >= RowCount()) return;
    const auto known = std::find(kVerdicts.begin(), kVerdicts.end(), verdict);
    m_rows[m_order[static_cast<std::size_t>(position)]].Verdict =
        known == kVerdicts.end() ? 0 : static_cast<uint8_t>(known - kVerdicts.begin() + 1);
    emit dataChanged(index(position, 0), index(position, ColumnCount - 1),
                     {Qt::BackgroundRole, Qt::AccessibleDescriptionRole});
}

QVariant ReadingsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= RowCount() || index.column() >= ColumnCount) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
    case Qt::ToolTipRole: return Text(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return (index.column() >= 1 && index.column() <= 4) ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                            : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::BackgroundRole:
    case Qt::AccessibleDescriptionRole: {
        const uint8_t verdict = m_rows[m_order[static_cast<std::size_t>(index.row())]].Verdict;
        if (verdict == 0 || verdict > kVerdicts.size()) return {};
        if (role == Qt::AccessibleDescriptionRole)
            return QStringLiteral("Verdict: ") + QLatin1String(kVerdicts[verdict - 1]);
        // Light green, amber and red: the row's text stays readable on each.
        static constexpr std::array<QRgb, 3> kTints{0xc8f0c8, 0xffe0a0, 0xffb8b8};
        return QColor(kTints[verdict - 1]);
    }
    default: return {};
    }
}

QVariant ReadingsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section >= 0 && section < ColumnCount
        && (role == Qt::DisplayRole || role == Qt::AccessibleTextRole))
        return ColumnTitles()[static_cast<std::size_t>(section)];
    if (orientation == Qt::Vertical && role == Qt::DisplayRole) return section + 1;
    return {};
}
