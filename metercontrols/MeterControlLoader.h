#pragma once
// Finds the meter control plug-ins in a folder (by default metercontrols/ beside the program),
// skipping each file that does not load, has another interface version or gives no usable
// meter control, with one message naming the file.
#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QObject;
class QPluginLoader;
class VantrelCntl;
class MeterControlPlugin;

class MeterControlLoader {
public:
    explicit MeterControlLoader(const QString& folder = DefaultFolder());
    ~MeterControlLoader();

    // <program folder>/metercontrols, in the build tree and installed alike.
    static QString DefaultFolder();

    // The usable meter controls by name, in the order of their file names.
    QStringList Names() const;
    MeterControlPlugin* Plugin(const QString& name) const;
    // One message for each file skipped.
    QStringList Problems() const { return m_problems; }

    // The named meter control built from the settings; a meter control that never links (the
    // program without an instrument) when there is none, with the reason in problem.
    VantrelCntl* Create(const QString& name, const QMap<QString, QString>& settings, QObject* parent,
                        QString* problem = nullptr);

private:
    struct Entry {
        QString name, file;
        QPluginLoader* loader;
        MeterControlPlugin* plugin;
    };
    std::vector<Entry> m_entries;
    QStringList m_problems;
};
