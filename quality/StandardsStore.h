#pragma once
// Standards as rows of the table "standards" of a database (made by the store's migrations) (the station's store, or the lab
// database that stations share), and the control-chart baselines fixed for them. Every value is
// bound; the statements are fixed text built from the column names below.
#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "quality/Verdict.h"

namespace quality {

// The centre line and limits of one parameter's chart, computed once from a baseline and kept.
struct Baseline {
    QString standardId;
    int parameter = 0;
    int firstN = 0;  // the first N readings; 0 when a date range was used
    QDateTime from, to;  // the date range (UTC), when firstN is 0
    int count = 0;  // readings the limits came from
    double centre = 0;
    double sigma = 0;
    double mrCentre = 0;
    QDateTime fixedAt;  // UTC
};

class StandardsStore {
public:
    // db: an open connection of the calling thread.
    explicit StandardsStore(QSqlDatabase db)
        : m_db(std::move(db))
    {}

    // Every standard, by name; empty with *problem set when the table cannot be read.
    std::vector<Standard> All(QString* problem = nullptr) const;
    std::optional<Standard> FindByName(const QString& name) const;
    // Inserts (giving it an id) or replaces the standard; false with *problem on failure
    // (a name taken by another standard among them).
    bool Save(Standard& standard, QString* problem = nullptr);
    // Removes the standard and its baselines.
    bool Remove(const QString& id, QString* problem = nullptr);
    // Makes this database's standards exactly those of `source` (the lab's, mirrored onto the
    // station so that judging never waits for the network); one transaction.
    bool ReplaceAllWith(const std::vector<Standard>& standards, QString* problem = nullptr);

    std::optional<Baseline> FindBaseline(const QString& standardId, int parameter) const;
    bool SaveBaseline(const Baseline& baseline, QString* problem = nullptr);
    bool RemoveBaseline(const QString& standardId, int parameter, QString* problem = nullptr);

private:
    bool Insert(const Standard& standard, QString* problem);
    QSqlDatabase m_db;
};

}  // namespace quality
