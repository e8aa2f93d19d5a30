// A Qt plug-in whose object is not a protocol: the manager must refuse it.

#include <QObject>
#include <QtPlugin>

class NotAProtocolInterface
{
public:
    virtual ~NotAProtocolInterface() = default;
};
Q_DECLARE_INTERFACE(NotAProtocolInterface, "org.tavo.tests.NotAProtocol/1.0")

class NotAProtocol : public QObject, public NotAProtocolInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.tavo.tests.NotAProtocol/1.0")
    Q_INTERFACES(NotAProtocolInterface)
};

#include "not_a_protocol.moc"
