#include "store/LabConnection.h"

#include <QSqlDatabase>
#include <QSqlError>

namespace store {

LabConnection LabConnection::Parse(const QString& text)
{
    LabConnection c;
    int i = 0;
    const int n = int(text.size());
    auto skipBlanks = [&] {
        while (i < n && text.at(i).isSpace()) ++i;
    };
    for (skipBlanks(); i < n; skipBlanks()) {
        QString key;
        while (i < n && text.at(i) != QLatin1Char('=') && !text.at(i).isSpace()) key += text.at(i++);
        skipBlanks();
        if (key.isEmpty() || i >= n || text.at(i) != QLatin1Char('=')) {
            c.problem = QStringLiteral("\"%1\" is not of the form key=value").arg(key.isEmpty() ? text.mid(i) : key);
            return c;
        }
        ++i;
        skipBlanks();
        QString value;
        if (i < n && text.at(i) == QLatin1Char('\'')) {
            bool closed = false;
            for (++i; i < n; ++i) {
                if (text.at(i) == QLatin1Char('\\') && i + 1 < n) {
                    value += text.at(++i);
                } else if (text.at(i) == QLatin1Char('\'')) {
                    closed = true;
                    ++i;
                    break;
                } else {
                    value += text.at(i);
                }
            }
            if (!closed) {
                c.problem = QStringLiteral("the value of %1 lacks its closing quote").arg(key);
                return c;
            }
        } else {
            while (i < n && !text.at(i).isSpace()) value += text.at(i++);
        }
        if (key == QLatin1String("password")) {
            c.problem = QStringLiteral(
                "it holds a password; keep passwords in ~/.pgpass or the service file, never in Glimora.ini");
            return c;
        }
        // The driver hands its options on with ";" as the separator.
        if (value.contains(QLatin1Char(';'))) {
            c.problem = QStringLiteral("the value of %1 holds a \";\"").arg(key);
            return c;
        }
        c.options.append({key, value});
    }
    if (c.options.isEmpty()) c.problem = QStringLiteral("it is empty");
    return c;
}

QString LabConnection::Value(const QString& key) const
{
    for (const auto& [k, v] : options)
        if (k == key) return v;
    return {};
}

bool LabConnection::ApplyTo(QSqlDatabase& db) const
{
    if (!problem.isEmpty()) return false;
    QStringList rest{QStringLiteral("application_name=glimora")};
    bool timeout = false;
    for (const auto& [key, value] : options) {
        if (key == QLatin1String("host")) db.setHostName(value);
        else if (key == QLatin1String("dbname")) db.setDatabaseName(value);
        else if (key == QLatin1String("user")) db.setUserName(value);
        else if (key == QLatin1String("port")) db.setPort(value.toInt());
        else {
            QString quoted = value;
            quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
            rest << key + QStringLiteral("='") + quoted + QLatin1Char('\'');
            timeout = timeout || key == QLatin1String("connect_timeout");
        }
    }
    if (!timeout) rest << QStringLiteral("connect_timeout=5");
    db.setConnectOptions(rest.join(QLatin1Char(';')));
    return true;
}

QString OpenLabConnection(const QString& connectionString, const QString& name, QString* problem)
{
    const LabConnection c = LabConnection::Parse(connectionString);
    if (!c.problem.isEmpty()) {
        *problem = QStringLiteral("The lab database's connection string in [Store] Server cannot be used: ") + c.problem
            + QLatin1Char('.');
        return {};
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        if (!db.isValid()) {
            *problem = QStringLiteral("The PostgreSQL driver of Qt is not installed (Debian package libqt6sql6-psql).");
        } else {
            c.ApplyTo(db);
            if (db.open()) return name;
            *problem = QStringLiteral("The lab database cannot be reached: ") + db.lastError().text().trimmed();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return {};
}

}  // namespace store
