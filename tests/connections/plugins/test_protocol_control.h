#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

/**
 * The test side of the test protocol plug-in: tests reach it through
 * qobject_cast on the plug-in's object, set how the plug-in answers and read
 * back what it was given. Only virtual calls cross the module boundary.
 *
 * Wire format (one line per record, '\n' terminated):
 *   client -> host: "LIST", "READ <dev> <prm>[,<prm>...]"
 *   host -> client: "DEV <class> <tag> <base tag> <dev>", "PRM <dev> <name> <prm>",
 *                   "VAL <dev> <prm> <value>"
 */
class TestProtocolControl
{
public:
    struct Settings
    {
        bool declineInstances = false;
        /// Off for benchmarks: received() stays empty.
        bool recording = true;
    };

    virtual ~TestProtocolControl() = default;

    /// Instances start with the settings of the prototype they came from.
    virtual Settings& settings() = 0;
    virtual QMap<QString, QString> assignedVars() const = 0;
    /// Every byte given to parse(), in order.
    virtual QByteArray received() const = 0;
    virtual int malformedLines() const = 0;
    /// Handed out as one packet, as it stands, by the next getWorkUpResult().
    virtual void queuePacket(const QByteArray& packet) = 0;
};

#define TestProtocolControl_iid "org.tavo.tests.TestProtocolControl/1.0"
Q_DECLARE_INTERFACE(TestProtocolControl, TestProtocolControl_iid)
