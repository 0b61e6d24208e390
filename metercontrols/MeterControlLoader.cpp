#include "metercontrols/MeterControlLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>
#include <algorithm>
#include <exception>

#include "metercontrols/MeterControlPlugin.h"
#include "metercontrols/NoMeter.h"

MeterControlLoader::MeterControlLoader(const QString& folder)
{
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        if (!QLibrary::isLibrary(file.fileName())) continue;
        const QString path = file.absoluteFilePath();
        const auto skip = [&](const QString& why) {
            m_problems << QStringLiteral("Meter control %1 skipped: %2").arg(path, why);
            qWarning("%s", qPrintable(m_problems.last()));
        };
        auto* loader = new QPluginLoader(path);
        const QString iid = loader->metaData().value(QStringLiteral("IID")).toString();
        if (iid != QLatin1String(MeterControlPlugin_iid)) {
            skip(iid.isEmpty() ? QStringLiteral("not a meter control plug-in (%1)").arg(loader->errorString())
                               : QStringLiteral("interface %1, this program needs %2").arg(iid, QLatin1String(MeterControlPlugin_iid)));
            delete loader;
            continue;
        }
        QObject* instance = loader->instance();
        auto* plugin = qobject_cast<MeterControlPlugin*>(instance);
        if (!plugin) {
            skip(instance ? QStringLiteral("it does not offer a meter control") : loader->errorString());
            delete loader;
            continue;
        }
        const QString name = plugin->Name();
        if (name.isEmpty() || Plugin(name)) {
            skip(name.isEmpty() ? QStringLiteral("it has no name") : QStringLiteral("another meter control is named %1").arg(name));
            loader->unload();
            delete loader;
            continue;
        }
        m_entries.push_back(Entry{name, path, loader, plugin});
    }
}

MeterControlLoader::~MeterControlLoader()
{
    // The plug-ins stay loaded: meter controls they built may outlive the loader.
    for (Entry& e : m_entries) delete e.loader;
}

QString MeterControlLoader::DefaultFolder()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("metercontrols"));
}

QStringList MeterControlLoader::Names() const
{
    QStringList names;
    for (const Entry& e : m_entries) names << e.name;
    return names;
}

MeterControlPlugin* MeterControlLoader::Plugin(const QString& name) const
{
    for (const Entry& e : m_entries)
        if (e.name == name) return e.plugin;
    return nullptr;
}

VantrelCntl* MeterControlLoader::Create(const QString& name, const QMap<QString, QString>& settings, QObject* parent,
                                        QString* problem)
{
    QString why;
    VantrelCntl* control = nullptr;
    const auto entry = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.name == name; });
    if (entry != m_entries.end()) {
        const QString which = QStringLiteral("Meter control %1 (%2)").arg(name, entry->file);
        try {
            control = entry->plugin->Create(settings, parent);
            if (!control) why = which + QStringLiteral(" could not be created");
        } catch (const std::exception& e) {
            why = which + QStringLiteral(" failed: ") + QString::fromLocal8Bit(e.what());
        } catch (...) {
            why = which + QStringLiteral(" failed");
        }
    } else {
        why = QStringLiteral("No meter control named %1 is installed").arg(name);
    }
    if (!why.isEmpty()) qWarning("%s", qPrintable(why));
    if (problem) *problem = why;
    return control ? control : new NoMeter(parent);
}
