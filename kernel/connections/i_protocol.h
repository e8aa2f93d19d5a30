#pragma once

#include <QMap>
#include <QObject>
#include <QString>
#include <QVector>
#include <QtPlugin>

class Device;
class Param;
class ProtocolDataUnit;
struct ResultList;
struct SelectedDeviceItem;

/**
 * The interface of a protocol plug-in. Plug-ins are built apart from the
 * library, so the data members and the order of the virtual functions are a
 * binary contract: add nothing, reorder nothing.
 *
 * The plug-in class derives from QObject and IProtocol; its constructor fills
 * name, port, socket type and custom variables.
 */
class IProtocol
{
public:
    virtual ~IProtocol() = default;

    /// The host's connection variables, before each connection attempt.
    virtual void assignCustomVars(const QMap<QString, QString>& vars) { Q_UNUSED(vars) }
    /// Resets the state of the connection that has just come up or gone down.
    virtual void init() = 0;
    /// A new working instance for one connection, or null; @p owner is the
    /// Protocol that will own it.
    virtual IProtocol* createInstance(QObject* owner) = 0;
    /// On connect the selection is one item that means every device.
    virtual bool selectDeviceQuery(QVector<SelectedDeviceItem*>& selection) = 0;
    /// Never called by the library; holds its place in the table.
    virtual void reserved() = 0;
    /// One block as the socket delivered it, followed by a zero byte that
    /// @p size does not count.
    virtual void parse(const char* data, int size) = 0;
    /// Appends packets allocated with new[]; the engine frees them once sent.
    virtual void getWorkUpResult(ResultList& results) = 0;
    virtual bool isReadyForRead(Device* device) = 0;
    virtual bool isParamForRead(Device* device, Param* param) = 0;
    virtual bool isReadyForWrite(Device* device) = 0;
    virtual bool isParamForWrite(Device* device, Param* param) = 0;

    const QString& getName() const { return name; }
    QObject* asQObject() const { return object; }
    int getPort() const { return port; }
    int getSocketType() const { return socketType; }
    QMap<QString, QString> getCustomVars() const { return customVars; }
    void setAbsolutePath(const QString& path) { absolutePath = path; }
    void assignPdu(ProtocolDataUnit* unit) { pdu = unit; }

    QObject* object = nullptr;
    QString absolutePath;
    QString name;
    int port = 0;
    /// 0: TCP; anything else: UDP.
    int socketType = 0;
    ProtocolDataUnit* pdu = nullptr;
    QMap<QString, QString> customVars;
};

#define IProtocol_iid "org.tavo.tavo-client.IProtocol/1.0"

Q_DECLARE_INTERFACE(IProtocol, IProtocol_iid)
