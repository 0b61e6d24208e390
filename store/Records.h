#pragma once
// What the measurement history keeps of a reading and of a scan, and how each record maps onto
// the columns of its table. The column lists are the one place that names the columns a record
// is written to and read from (local store, lab database, History window, exports): a new value
// is a member here, a row in its list and a migration step that adds the column.
#include <QDateTime>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <vector>

namespace store {

constexpr int CommentColumns = 7;

struct ReadingRecord {
    QString id;  // a UUID without braces; made when the record is taken
    QDateTime takenAt;  // UTC
    QString localTime;  // the date and time as the list shows it
    QString station;
    QString operatorName;
    QString serialNumber;
    QString instrumentVersion;
    QString calStandard;
    double specular = 0, doi = 0, haze2 = 0, haze15 = 0;  // as the meter delivered them
    int digits = 2;  // decimals shown in the list and the data file
    QStringList commentHeaders;  // up to seven, column 1 first
    QStringList commentTexts;  // up to seven, column 1 first
    QString dataFile;  // empty when the reading went to no data file
    QString standard;  // the checked standard, empty when none was chosen
    QString verdict;  // the verdict against that standard, empty when none
};

struct ScanRecord {
    QString id;
    QDateTime takenAt;
    QString station;
    QString serialNumber;
    QString instrumentVersion;
    std::vector<double> points;  // 301 values, index 0 first
};

// One column of a table: its name, how a record's member becomes the bound value (a null
// QVariant for "no value") and how a value read back fills the member.
template <typename Record>
struct Column {
    QString name;
    std::function<QVariant(const Record&)> get;
    std::function<void(Record&, const QVariant&)> set;
};

// The columns of the tables "readings" and "scans", in the order they are written and read.
const std::vector<Column<ReadingRecord>>& ReadingColumns();
const std::vector<Column<ScanRecord>>& ScanColumns();

// A fresh UUID text ("8c0c...-..."), lower case, without braces.
QString NewRecordId();
// taken_at as stored: UTC, ISO 8601 with milliseconds and "Z" ("2026-12-06T14:39:32.123Z").
QString TimeText(const QDateTime& when);
QDateTime TimeFromText(const QString& text);

// The comma-separated names of a column list ("id, taken_at, ...") and its placeholders
// ("?, ?, ..."), for statements built from these fixed names only.
template <typename Record>
QString ColumnNames(const std::vector<Column<Record>>& columns)
{
    QStringList names;
    for (const auto& c : columns) names << c.name;
    return names.join(QStringLiteral(", "));
}
QString Placeholders(int count);

// Every remaining row of a query that selected ColumnNames(columns), as records.
template <typename Record>
std::vector<Record> RecordsOf(QSqlQuery& q, const std::vector<Column<Record>>& columns)
{
    std::vector<Record> records;
    while (q.next()) {
        Record r;
        for (int i = 0; i < int(columns.size()); ++i) columns[std::size_t(i)].set(r, q.value(i));
        records.push_back(std::move(r));
    }
    return records;
}

// The scan's points as a JSON array text, and back (empty on a text that is no such array).
QString PointsText(const std::vector<double>& points);
std::vector<double> PointsFromText(const QString& text);

}  // namespace store
