#pragma once
// The lab database's connection: a libpq connection string ("service=glimora",
// "host=db.lab dbname=glimora user=station1 sslmode=verify-full") applied to a Qt PostgreSQL
// connection. Passwords come only from libpq's own files (~/.pgpass, the service file): a
// string that holds one is refused.
#include <QList>
#include <QPair>
#include <QString>

class QSqlDatabase;

namespace store {

struct LabConnection {
    QList<QPair<QString, QString>> options;  // key and value, in the order written
    QString problem;  // why the string cannot be used; empty when it can

    // Reads key=value pairs separated by blanks; a value may be 'single quoted', with \' and \\ inside.
    static LabConnection Parse(const QString& text);
    QString Value(const QString& key) const;
    // host, dbname, user and port through the connection's own setters, the other options (and
    // a connect timeout of 5 s unless one is given) as the driver's options. False on a problem.
    bool ApplyTo(QSqlDatabase& db) const;
};

// Opens a PostgreSQL connection of the given name for the calling thread; empty (and *problem
// set) when it cannot. The caller removes it.
QString OpenLabConnection(const QString& connectionString, const QString& name, QString* problem);

}  // namespace store
