// Plug-ins that the loader must not trust: one built for another version of the contract, one
// without metadata, one that does not load (a symbol nobody defines), one whose meter control
// cannot be built.
#include <QObject>
#include <stdexcept>

#include "metercontrols/MeterControlPlugin.h"

#ifdef BROKEN_LOAD
extern int glimora_driver_table;  // defined nowhere: the library does not load
#endif

class BrokenPlugin : public QObject, public MeterControlPlugin {
    Q_OBJECT
#ifdef BROKEN_NO_METADATA
    Q_PLUGIN_METADATA(IID BROKEN_IID)
#else
    Q_PLUGIN_METADATA(IID BROKEN_IID FILE BROKEN_JSON)
#endif
    Q_INTERFACES(MeterControlPlugin)
public:
    VantrelCntl* Create(const QMap<QString, QString>&, QObject*) override
    {
#ifdef BROKEN_LOAD
        if (glimora_driver_table) return nullptr;
#endif
        throw std::runtime_error("the instrument's driver is missing");
    }
};

#include "BrokenPlugin.moc"
