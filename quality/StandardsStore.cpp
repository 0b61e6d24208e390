#include "quality/StandardsStore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace quality {

namespace {

// Column prefixes of the four parameters, and the five columns of each tolerance.
const char* const kPrefix[kParameterCount] = {"specular", "doi", "haze2", "haze15"};
const char* const kField[5] = {"judged", "target", "lower", "upper", "warn_percent"};

QStringList ToleranceColumns()
{
    QStringList columns;
    for (const char* p : kPrefix)
        for (const char* f : kField) columns << QStringLiteral("%1_%2").arg(QLatin1String(p), QLatin1String(f));
    return columns;
}

QString AllColumns()
{
    return (QStringList{QStringLiteral("id"), QStringLiteral("name")} + ToleranceColumns()).join(QStringLiteral(", "));
}

bool Fail(const QSqlQuery& q, QString* problem)
{
    if (problem) *problem = q.lastError().text();
    return false;
}

Standard FromQuery(const QSqlQuery& q)
{
    Standard s;
    s.id = q.value(0).toString();
    s.name = q.value(1).toString();
    for (int p = 0; p < kParameterCount; ++p) {
        const int at = 2 + p * 5;
        s.tolerances[p] = {q.value(at).toInt() != 0, q.value(at + 1).toDouble(), q.value(at + 2).toDouble(),
                           q.value(at + 3).toDouble(), q.value(at + 4).toDouble()};
    }
    return s;
}

QString TimeText(const QDateTime& t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODateWithMs) : QString();
}

}  // namespace

std::vector<Standard> StandardsStore::All(QString* problem) const
{
    std::vector<Standard> all;
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT %1 FROM standards ORDER BY name").arg(AllColumns()))) {
        Fail(q, problem);
        return all;
    }
    while (q.next()) all.push_back(FromQuery(q));
    return all;
}

std::optional<Standard> StandardsStore::FindByName(const QString& name) const
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT %1 FROM standards WHERE name = ?").arg(AllColumns()));
    q.addBindValue(name);
    if (!q.exec() || !q.next()) return std::nullopt;
    return FromQuery(q);
}

bool StandardsStore::Insert(const Standard& s, QString* problem)
{
    QSqlQuery q(m_db);
    q.prepare(
        QStringLiteral("INSERT INTO standards (%1) VALUES (%2)")
            .arg(AllColumns(), QStringList(2 + 5 * kParameterCount, QStringLiteral("?")).join(QStringLiteral(", "))));
    q.addBindValue(s.id);
    q.addBindValue(s.name);
    for (const Tolerance& t : s.tolerances) {
        q.addBindValue(t.judged ? 1 : 0);
        q.addBindValue(t.target);
        q.addBindValue(t.lower);
        q.addBindValue(t.upper);
        q.addBindValue(t.warnPercent);
    }
    return q.exec() || Fail(q, problem);
}

bool StandardsStore::Save(Standard& s, QString* problem)
{
    if (s.id.isEmpty()) {
        s.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        if (Insert(s, problem)) return true;
        s.id.clear();
        return false;
    }
    // Replaced whole in one transaction: the row keeps its id, the name may change.
    if (!m_db.transaction()) {
        if (problem) *problem = m_db.lastError().text();
        return false;
    }
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("DELETE FROM standards WHERE id = ?"));
    q.addBindValue(s.id);
    if (q.exec() && Insert(s, problem)) return m_db.commit();
    if (problem && problem->isEmpty()) *problem = q.lastError().text();
    m_db.rollback();
    return false;
}

bool StandardsStore::Remove(const QString& id, QString* problem)
{
    if (!m_db.transaction()) {
        if (problem) *problem = m_db.lastError().text();
        return false;
    }
    for (const QString& statement : {QStringLiteral("DELETE FROM standard_baselines WHERE standard_id = ?"),
                                     QStringLiteral("DELETE FROM standards WHERE id = ?")}) {
        QSqlQuery q(m_db);
        q.prepare(statement);
        q.addBindValue(id);
        if (!q.exec()) {
            m_db.rollback();
            return Fail(q, problem);
        }
    }
    return m_db.commit();
}

bool StandardsStore::ReplaceAllWith(const std::vector<Standard>& standards, QString* problem)
{
    if (!m_db.transaction()) {
        if (problem) *problem = m_db.lastError().text();
        return false;
    }
    QSqlQuery q(m_db);
    bool ok = q.exec(QStringLiteral("DELETE FROM standards"));
    if (!ok) Fail(q, problem);
    for (const Standard& s : standards) ok = ok && Insert(s, problem);
    if (ok) return m_db.commit();
    m_db.rollback();
    return false;
}

std::optional<Baseline> StandardsStore::FindBaseline(const QString& standardId, int parameter) const
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT first_n, from_time, to_time, count, centre, sigma, mr_centre, fixed_at "
                             "FROM standard_baselines WHERE standard_id = ? AND parameter = ?"));
    q.addBindValue(standardId);
    q.addBindValue(parameter);
    if (!q.exec() || !q.next()) return std::nullopt;
    Baseline b;
    b.standardId = standardId;
    b.parameter = parameter;
    b.firstN = q.value(0).toInt();
    b.from = QDateTime::fromString(q.value(1).toString(), Qt::ISODateWithMs);
    b.to = QDateTime::fromString(q.value(2).toString(), Qt::ISODateWithMs);
    b.count = q.value(3).toInt();
    b.centre = q.value(4).toDouble();
    b.sigma = q.value(5).toDouble();
    b.mrCentre = q.value(6).toDouble();
    b.fixedAt = QDateTime::fromString(q.value(7).toString(), Qt::ISODateWithMs);
    return b;
}

bool StandardsStore::SaveBaseline(const Baseline& b, QString* problem)
{
    if (!RemoveBaseline(b.standardId, b.parameter, problem)) return false;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT INTO standard_baselines (standard_id, parameter, first_n, from_time, to_time, "
                             "count, centre, sigma, mr_centre, fixed_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariant& v :
         {QVariant(b.standardId), QVariant(b.parameter), QVariant(b.firstN), QVariant(TimeText(b.from)),
          QVariant(TimeText(b.to)), QVariant(b.count), QVariant(b.centre), QVariant(b.sigma), QVariant(b.mrCentre),
          QVariant(TimeText(b.fixedAt))})
        q.addBindValue(v);
    return q.exec() || Fail(q, problem);
}

bool StandardsStore::RemoveBaseline(const QString& standardId, int parameter, QString* problem)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("DELETE FROM standard_baselines WHERE standard_id = ? AND parameter = ?"));
    q.addBindValue(standardId);
    q.addBindValue(parameter);
    return q.exec() || Fail(q, problem);
}

}  // namespace quality
