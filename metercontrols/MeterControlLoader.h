#pragma once
// Finds the meter control plug-ins in a folder (by default metercontrols/ beside the program).
// Each file's metadata is read without loading it; a plug-in is loaded only when it is used.
// Every file that cannot be used is kept with the reason: not a plug-in, another interface or
// contract version, missing or unusable metadata, a name taken twice, a failed load, a control
// that could not be built.
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <vector>

#include "metercontrols/MeterControlInfo.h"

class QObject;
class QPluginLoader;
class VantrelCntl;
class MeterControlPlugin;

class MeterControlLoader {
public:
    struct Problem {
        QString file;
        QString reason;
    };

    explicit MeterControlLoader(const QString& folder = DefaultFolder());
    ~MeterControlLoader();
    MeterControlLoader(const MeterControlLoader&) = delete;
    MeterControlLoader& operator=(const MeterControlLoader&) = delete;

    // <program folder>/metercontrols, in the build tree and installed alike.
    static QString DefaultFolder();

    // The usable meter controls by name, in the order of their file names.
    QStringList Names() const;
    // What the named control's metadata says; nothing when there is no such control.
    const MeterControlInfo* Info(const QString& name) const;
    // The named plug-in, loaded on first use; nothing when it is not there or does not load
    // (it then moves to Problems).
    MeterControlPlugin* Plugin(const QString& name);
    // Loads every plug-in, so that Names holds only those that load.
    void LoadAll();
    // The files that could not be used, each with its reason.
    const QList<Problem>& Problems() const { return m_problems; }

    // The named meter control built from the settings (with the defaults of its metadata); a
    // meter control that never links (the program without an instrument) when there is none,
    // with the reason in problem.
    VantrelCntl* Create(const QString& name, const QMap<QString, QString>& settings, QObject* parent,
                        QString* problem = nullptr);

private:
    struct Entry {
        MeterControlInfo info;
        QString file;
        QPluginLoader* loader;
        MeterControlPlugin* plugin;
        bool failed;  // it did not load
    };
    void Skip(const QString& file, const QString& reason);

    std::vector<Entry> m_entries;
    QList<Problem> m_problems;
};
