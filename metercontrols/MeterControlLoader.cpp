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

namespace {

// "org.glimora.MeterControl/2" -> "org.glimora.MeterControl/", "2"
const QString kInterface = QLatin1String(MeterControlPlugin_iid);
const QString kInterfaceName = kInterface.left(kInterface.lastIndexOf(QLatin1Char('/')) + 1);
const QString kContractVersion = kInterface.mid(kInterfaceName.size());

// Why a file whose interface id is not this program's cannot be used.
QString OtherInterface(const QString& iid, const QString& loaderError)
{
    if (iid.isEmpty()) return QStringLiteral("not a Qt plug-in (%1)").arg(loaderError);
    if (!iid.startsWith(kInterfaceName)) return QStringLiteral("not a meter control plug-in (interface %1)").arg(iid);
    return QStringLiteral("built for version %1 of the meter control contract (%2); this program takes version %3 (%4)")
        .arg(iid.mid(kInterfaceName.size()), iid, kContractVersion, kInterface);
}

}  // namespace

MeterControlLoader::MeterControlLoader(const QString& folder)
{
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        if (!QLibrary::isLibrary(file.fileName())) continue;
        const QString path = file.absoluteFilePath();
        // Read from the file itself: nothing of the plug-in runs before it is known to fit.
        auto* loader = new QPluginLoader(path);
        const QJsonObject metaData = loader->metaData();
        const QString iid = metaData.value(QStringLiteral("IID")).toString();
        QString why;
        const auto info = iid == kInterface
            ? MeterControlInfo::FromJson(metaData.value(QStringLiteral("MetaData")).toObject(), &why)
            : std::nullopt;
        if (iid != kInterface) why = OtherInterface(iid, loader->errorString());
        else if (info && Info(info->name)) why = QStringLiteral("another meter control is named %1").arg(info->name);
        if (!why.isEmpty()) {
            Skip(path, why);
            delete loader;
            continue;
        }
        m_entries.push_back(Entry{*info, path, loader, nullptr, false});
    }
}

MeterControlLoader::~MeterControlLoader()
{
    // The plug-ins stay loaded: meter controls they built may outlive the loader.
    for (Entry& e : m_entries) delete e.loader;
}

void MeterControlLoader::Skip(const QString& file, const QString& reason)
{
    m_problems << Problem{file, reason};
    qWarning("Meter control %s skipped: %s", qPrintable(file), qPrintable(reason));
}

QString MeterControlLoader::DefaultFolder()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("metercontrols"));
}

QStringList MeterControlLoader::Names() const
{
    QStringList names;
    for (const Entry& e : m_entries)
        if (!e.failed) names << e.info.name;
    return names;
}

const MeterControlInfo* MeterControlLoader::Info(const QString& name) const
{
    for (const Entry& e : m_entries)
        if (!e.failed && e.info.name == name) return &e.info;
    return nullptr;
}

MeterControlPlugin* MeterControlLoader::Plugin(const QString& name)
{
    const auto entry = std::find_if(m_entries.begin(), m_entries.end(),
                                    [&](const Entry& e) { return !e.failed && e.info.name == name; });
    if (entry == m_entries.end()) return nullptr;
    if (!entry->plugin) {
        QObject* instance = entry->loader->instance();
        entry->plugin = qobject_cast<MeterControlPlugin*>(instance);
        if (!entry->plugin) {
            entry->failed = true;
            Skip(entry->file,
                 instance ? QStringLiteral("it does not offer a meter control")
                          : QStringLiteral("it does not load: %1").arg(entry->loader->errorString()));
            if (instance) entry->loader->unload();
        }
    }
    return entry->plugin;
}

void MeterControlLoader::LoadAll()
{
    for (const QString& name : Names()) Plugin(name);
}

VantrelCntl* MeterControlLoader::Create(const QString& name, const QMap<QString, QString>& settings, QObject* parent,
                                        QString* problem)
{
    QString why;
    VantrelCntl* control = nullptr;
    const MeterControlInfo* info = Info(name);
    const auto entry =
        std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.info.name == name; });
    if (!info) {
        why = QStringLiteral("No meter control named %1 is installed").arg(name);
    } else if (MeterControlPlugin* plugin = Plugin(name)) {
        try {
            control = plugin->Create(info->WithDefaults(settings), parent);
            if (!control) why = QStringLiteral("its meter control could not be built");
        } catch (const std::exception& e) {
            why = QStringLiteral("its meter control could not be built: ") + QString::fromLocal8Bit(e.what());
        } catch (...) {
            why = QStringLiteral("its meter control could not be built");
        }
        if (!why.isEmpty()) {
            m_problems << Problem{entry->file, why};
            why = QStringLiteral("Meter control %1 (%2): %3").arg(name, entry->file, why);
        }
    } else {
        why = QStringLiteral("Meter control %1 (%2): %3").arg(name, entry->file, m_problems.last().reason);
    }
    if (!why.isEmpty()) qWarning("%s", qPrintable(why));
    if (problem) *problem = why;
    return control ? control : new NoMeter(parent);
}
