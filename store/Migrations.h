#pragma once
// The schemas of the local store (SQLite) and of the lab database (PostgreSQL) as ordered lists
// of forward steps. A database at version N has run steps 1 to N; opening it runs the steps
// after N, each in a transaction of its own together with the new version number, so that a
// failed step leaves the database at the version before it. A new step is appended at the end
// of its list, never inserted before an existing one.
#include <QString>
#include <QStringList>
#include <vector>

class QSqlDatabase;

namespace store {

struct MigrationStep {
    QString what;  // one line on what the step brings
    QStringList statements;  // fixed statements, run in order
};

// The local store's steps; its version is SQLite's PRAGMA user_version.
const std::vector<MigrationStep>& LocalSteps();
// The lab database's steps; its version is the one row of the table glimora_schema.
const std::vector<MigrationStep>& ServerSteps();

struct MigrationResult {
    bool ok = false;
    int version = 0;  // the version the database is at afterwards
    QString problem;  // why not, when !ok
};

// Brings an open SQLite database up to steps.size(). A database newer than the list is left
// alone and refused.
MigrationResult MigrateLocal(QSqlDatabase& db, const std::vector<MigrationStep>& steps);
// The same for an open PostgreSQL database; stations that start at once take turns (an
// advisory lock held by each step's transaction).
MigrationResult MigrateServer(QSqlDatabase& db, const std::vector<MigrationStep>& steps);

}  // namespace store
