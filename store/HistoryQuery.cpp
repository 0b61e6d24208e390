#include "store/HistoryQuery.h"

#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace store {
namespace {

constexpr int kExportPage = 2000;

QString LikePattern(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

QString DayStart(const QDate& day)
{
    return TimeText(day.startOfDay());
}

}  // namespace

PageCursor CursorAfter(const ReadingRecord& last)
{
    return {last.takenAt, last.id};
}

bool ReadPage(QSqlDatabase db, const HistoryFilter& filter, const PageCursor& after, int limit,
              std::vector<ReadingRecord>& rows, QString* problem)
{
    const bool server = db.driverName() == QLatin1String("QPSQL");
    // Only fixed fragments make the statement; every value is bound in the same order.
    QString sql =
        QStringLiteral("SELECT ") + ColumnNames(ReadingColumns()) + QStringLiteral(" FROM readings WHERE true");
    QVariantList values;
    if (filter.from.isValid()) {
        sql += QStringLiteral(" AND taken_at >= ?");
        values << DayStart(filter.from);
    }
    if (filter.to.isValid()) {
        sql += QStringLiteral(" AND taken_at < ?");
        values << DayStart(filter.to.addDays(1));
    }
    const std::pair<const QString*, const char*> exact[] = {{&filter.station, " AND station = ?"},
                                                            {&filter.serialNumber, " AND serial_number = ?"},
                                                            {&filter.calStandard, " AND cal_standard = ?"}};
    for (const auto& [value, fragment] : exact) {
        if (value->isEmpty()) continue;
        sql += QLatin1String(fragment);
        values << *value;
    }
    if (!filter.commentText.isEmpty()) {
        QStringList any;
        for (int i = 1; i <= CommentColumns; ++i) {
            any << QStringLiteral("comment_%1 %2 ? ESCAPE '\\'")
                       .arg(i)
                       .arg(server ? QStringLiteral("ILIKE") : QStringLiteral("LIKE"));
            values << LikePattern(filter.commentText);
        }
        sql += QStringLiteral(" AND (") + any.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    }
    if (!after.IsStart()) {
        sql += QStringLiteral(" AND (taken_at, id) < (?, ?)");
        values << TimeText(after.takenAt) << after.id;
    }
    sql += QStringLiteral(" ORDER BY taken_at DESC, id DESC LIMIT ?");
    values << limit;

    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant& v : values) q.addBindValue(v);
    rows.clear();
    if (!q.exec()) {
        if (problem) *problem = q.lastError().text().trimmed();
        return false;
    }
    for (ReadingRecord& r : RecordsOf(q, ReadingColumns())) rows.push_back(std::move(r));
    return true;
}

QString CsvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

qint64 ExportReadings(QSqlDatabase db, const HistoryFilter& filter, ExportFormat format, QIODevice& out,
                      QString* problem)
{
    const auto& columns = ReadingColumns();
    auto text = [](const QVariant& v) {
        if (v.isNull()) return QString();
        return v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'g', 17) : v.toString();
    };
    if (format == ExportFormat::Csv) {
        QStringList header;
        for (const auto& c : columns) header << c.name;
        out.write(header.join(QLatin1Char(',')).toUtf8() + "\r\n");
    } else {
        out.write("[");
    }
    qint64 written = 0;
    PageCursor cursor;
    std::vector<ReadingRecord> rows;
    do {
        if (!ReadPage(db, filter, cursor, kExportPage, rows, problem)) return -1;
        for (const ReadingRecord& r : rows) {
            if (format == ExportFormat::Csv) {
                QStringList fields;
                for (const auto& c : columns) fields << CsvField(text(c.get(r)));
                out.write(fields.join(QLatin1Char(',')).toUtf8() + "\r\n");
            } else {
                QJsonObject object;
                for (const auto& c : columns) {
                    const QVariant v = c.get(r);
                    object.insert(c.name, v.isNull() ? QJsonValue() : QJsonValue::fromVariant(v));
                }
                out.write((written ? ",\n" : "\n") + QJsonDocument(object).toJson(QJsonDocument::Compact));
            }
            ++written;
        }
        if (!rows.empty()) cursor = CursorAfter(rows.back());
    } while (int(rows.size()) == kExportPage);
    if (format == ExportFormat::Json) out.write("\n]\n");
    return written;
}

}  // namespace store
