#include "store/Records.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

namespace store {
namespace {

QVariant Text(const QString& s)
{
    return s.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(s);
}

QString At(const QStringList& list, int i)
{
    return i < list.size() ? list.at(i) : QString();
}

void Put(QStringList& list, int i, const QString& value)
{
    while (list.size() <= i) list << QString();
    list[i] = value;
}

template <typename Record>
Column<Record> TextColumn(const char* name, QString Record::*member)
{
    return {QLatin1String(name), [member](const Record& r) { return Text(r.*member); },
            [member](Record& r, const QVariant& v) { r.*member = v.toString(); }};
}

template <typename Record>
Column<Record> TimeColumn(QDateTime Record::*member)
{
    return {QStringLiteral("taken_at"), [member](const Record& r) { return QVariant(TimeText(r.*member)); },
            [member](Record& r, const QVariant& v) {
                r.*member = v.typeId() == QMetaType::QDateTime ? v.toDateTime().toUTC() : TimeFromText(v.toString());
            }};
}

Column<ReadingRecord> NumberColumn(const char* name, double ReadingRecord::*member)
{
    return {QLatin1String(name), [member](const ReadingRecord& r) { return QVariant(r.*member); },
            [member](ReadingRecord& r, const QVariant& v) { r.*member = v.toDouble(); }};
}

std::vector<Column<ReadingRecord>> MakeReadingColumns()
{
    using R = ReadingRecord;
    std::vector<Column<R>> c = {
        TextColumn<R>("id", &R::id),
        TimeColumn<R>(&R::takenAt),
        TextColumn<R>("local_time", &R::localTime),
        TextColumn<R>("station", &R::station),
        TextColumn<R>("operator", &R::operatorName),
        TextColumn<R>("serial_number", &R::serialNumber),
        TextColumn<R>("instrument_version", &R::instrumentVersion),
        TextColumn<R>("cal_standard", &R::calStandard),
        NumberColumn("specular", &R::specular),
        NumberColumn("doi", &R::doi),
        NumberColumn("haze2", &R::haze2),
        NumberColumn("haze15", &R::haze15),
        {QStringLiteral("digits"), [](const R& r) { return QVariant(r.digits); },
         [](R& r, const QVariant& v) { r.digits = v.toInt(); }},
    };
    for (int i = 0; i < CommentColumns; ++i) {
        c.push_back({QStringLiteral("header_%1").arg(i + 1), [i](const R& r) { return Text(At(r.commentHeaders, i)); },
                     [i](R& r, const QVariant& v) { Put(r.commentHeaders, i, v.toString()); }});
    }
    for (int i = 0; i < CommentColumns; ++i) {
        c.push_back({QStringLiteral("comment_%1").arg(i + 1), [i](const R& r) { return Text(At(r.commentTexts, i)); },
                     [i](R& r, const QVariant& v) { Put(r.commentTexts, i, v.toString()); }});
    }
    c.push_back(TextColumn<R>("data_file", &R::dataFile));
    c.push_back(TextColumn<R>("standard", &R::standard));
    c.push_back(TextColumn<R>("verdict", &R::verdict));
    return c;
}

std::vector<Column<ScanRecord>> MakeScanColumns()
{
    using S = ScanRecord;
    return {
        TextColumn<S>("id", &S::id),
        TimeColumn<S>(&S::takenAt),
        TextColumn<S>("station", &S::station),
        TextColumn<S>("serial_number", &S::serialNumber),
        TextColumn<S>("instrument_version", &S::instrumentVersion),
        {QStringLiteral("points"), [](const S& s) { return QVariant(PointsText(s.points)); },
         [](S& s, const QVariant& v) { s.points = PointsFromText(v.toString()); }},
    };
}

}  // namespace

const std::vector<Column<ReadingRecord>>& ReadingColumns()
{
    static const auto columns = MakeReadingColumns();
    return columns;
}

const std::vector<Column<ScanRecord>>& ScanColumns()
{
    static const auto columns = MakeScanColumns();
    return columns;
}

QString NewRecordId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString TimeText(const QDateTime& when)
{
    return when.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QDateTime TimeFromText(const QString& text)
{
    QDateTime t = QDateTime::fromString(text, Qt::ISODateWithMs);
    return t.toUTC();
}

QString Placeholders(int count)
{
    QStringList marks;
    for (int i = 0; i < count; ++i) marks << QStringLiteral("?");
    return marks.join(QStringLiteral(", "));
}

QString PointsText(const std::vector<double>& points)
{
    QJsonArray array;
    for (double p : points) array.append(p);
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

std::vector<double> PointsFromText(const QString& text)
{
    std::vector<double> points;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    for (const QJsonValue& v : doc.array()) points.push_back(v.toDouble());
    return points;
}

}  // namespace store
