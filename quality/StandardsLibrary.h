#pragma once
// The standards as the program uses them. They are kept in the station's store, and judging reads
// them from there only, so that a reading never waits for the network. When a lab database is
// set, it holds the standards the stations share: changes go there first, and the station's copy
// is made equal to the lab's whenever the lab can be reached (on opening a quality window and
// after every change).
#include <QObject>
#include <QSqlDatabase>
#include <functional>
#include <optional>
#include <vector>

#include "quality/StandardsStore.h"
#include "quality/Verdict.h"

namespace quality {

class StandardsLibrary : public QObject {
    Q_OBJECT
public:
    // local: gives the station store's connection (opening the store when it is not yet open).
    // lab: gives an open connection to the lab database, or an invalid one when none is set or
    // it cannot be reached (then *problem says why). The standards are read when first asked for.
    using LocalConnection = std::function<QSqlDatabase()>;
    using LabConnection = std::function<QSqlDatabase(QString* problem)>;
    StandardsLibrary(LocalConnection local, LabConnection lab, QObject* parent = nullptr);

    // The standards by name (the station's copy).
    const std::vector<Standard>& Standards() const;
    const Standard* Find(const QString& name) const;

    // Takes the lab's standards into the station's copy when a lab database is set and reachable.
    void Refresh();
    // Saves to the lab database when one is set (refused when it cannot be reached, so that
    // stations never disagree), else to the station's store; then refreshes the copy.
    bool Save(Standard& standard, QString* problem);
    bool Remove(const QString& id, QString* problem);

    // Where baselines are kept: with the standards (the lab's when set).
    std::optional<Baseline> FindBaseline(const QString& standardId, int parameter);
    bool SaveBaseline(const Baseline& baseline, QString* problem);
    bool RemoveBaseline(const QString& standardId, int parameter, QString* problem);

    QSqlDatabase Local() const { return m_local(); }
    // The lab database's connection, or an invalid one.
    QSqlDatabase Lab(QString* problem = nullptr) const { return m_lab ? m_lab(problem) : QSqlDatabase(); }

signals:
    void Changed();

private:
    // The database that holds the standards: the lab's when set, else the station's; false
    // with *problem when the lab is set but cannot be reached.
    bool Home(QSqlDatabase& db, QString* problem) const;
    void Reread();

    LocalConnection m_local;
    LabConnection m_lab;
    mutable std::optional<std::vector<Standard>> m_standards;  // empty until first asked for
};

}  // namespace quality
