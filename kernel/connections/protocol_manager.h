#pragma once

#include "tavo_kernel_export.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

class IProtocol;
class Protocol;

/**
 * The protocol plug-ins of the process: one loaded prototype per protocol
 * name, from which each connection gets its own Protocol.
 */
class TAVO_KERNEL_EXPORT ProtocolManager : public QObject
{
    Q_OBJECT

public:
    explicit ProtocolManager(QObject* parent = nullptr);
    ~ProtocolManager() override;

    /// Loads every plug-in of @p dir; the outcome goes to the log only, the
    /// result is always 0.
    int loadPlugins(const QString& dir);
    /// A child of the manager with a fresh plug-in instance, or null.
    Protocol* createProtocol(const QString& name);
    /// 0 for an unknown name.
    int getDefaultProtocolPort(const QString& name) const;
    QMap<QString, QString> getCustomVars(const QString& name) const;

    QStringList protocolNames;
    QMap<QString, int> defaultPorts;
    QMap<QString, IProtocol*> prototypes;
    QMap<QString, QMap<QString, QString>> customVarTemplates;

private:
    Q_DISABLE_COPY(ProtocolManager)
};
