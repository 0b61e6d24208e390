// Plug-ins that the loader must not trust: one built for another version of the interface,
// one whose meter control cannot be built.
#include <QObject>
#include <stdexcept>

#include "metercontrols/MeterControlPlugin.h"

class BrokenPlugin : public QObject, public MeterControlPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID BROKEN_IID)
    Q_INTERFACES(MeterControlPlugin)
public:
    QString Name() const override { return QStringLiteral("Broken"); }
    VantrelCntl* Create(const QMap<QString, QString>&, QObject*) override
    {
        throw std::runtime_error("the instrument's driver is missing");
    }
};

#include "BrokenPlugin.moc"
