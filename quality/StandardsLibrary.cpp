#include "quality/StandardsLibrary.h"

namespace quality {

StandardsLibrary::StandardsLibrary(LocalConnection local, LabConnection lab, QObject* parent)
    : QObject(parent)
    , m_local(std::move(local))
    , m_lab(std::move(lab))
{
}

const std::vector<Standard>& StandardsLibrary::Standards() const
{
    if (!m_standards) m_standards = StandardsStore(Local()).All();
    return *m_standards;
}

const Standard* StandardsLibrary::Find(const QString& name) const
{
    for (const Standard& s : Standards())
        if (s.name == name) return &s;
    return nullptr;
}

void StandardsLibrary::Reread()
{
    m_standards = StandardsStore(Local()).All();
    emit Changed();
}

bool StandardsLibrary::Home(QSqlDatabase& db, QString* problem) const
{
    QString why;
    const QSqlDatabase lab = Lab(&why);
    if (lab.isValid() && lab.isOpen()) {
        db = lab;
        return true;
    }
    if (!why.isEmpty()) {
        if (problem) *problem = QStringLiteral("The lab database cannot be reached (%1).").arg(why);
        return false;
    }
    db = Local();
    return true;
}

void StandardsLibrary::Refresh()
{
    QString why;
    const QSqlDatabase lab = Lab(&why);
    if (lab.isValid() && lab.isOpen()) {
        QString problem;
        const auto shared = StandardsStore(lab).All(&problem);
        if (problem.isEmpty()) StandardsStore(Local()).ReplaceAllWith(shared);
    }
    Reread();
}

bool StandardsLibrary::Save(Standard& standard, QString* problem)
{
    QSqlDatabase db;
    const bool ok = Home(db, problem) && StandardsStore(db).Save(standard, problem);
    Refresh();
    return ok;
}

bool StandardsLibrary::Remove(const QString& id, QString* problem)
{
    QSqlDatabase db;
    const bool ok = Home(db, problem) && StandardsStore(db).Remove(id, problem);
    Refresh();
    return ok;
}

std::optional<Baseline> StandardsLibrary::FindBaseline(const QString& standardId, int parameter)
{
    QSqlDatabase db;
    if (!Home(db, nullptr)) db = Local();
    return StandardsStore(db).FindBaseline(standardId, parameter);
}

bool StandardsLibrary::SaveBaseline(const Baseline& baseline, QString* problem)
{
    QSqlDatabase db;
    return Home(db, problem) && StandardsStore(db).SaveBaseline(baseline, problem);
}

bool StandardsLibrary::RemoveBaseline(const QString& standardId, int parameter, QString* problem)
{
    QSqlDatabase db;
    return Home(db, problem) && StandardsStore(db).RemoveBaseline(standardId, parameter, problem);
}

}  // namespace quality
