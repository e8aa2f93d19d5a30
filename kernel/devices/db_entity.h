#pragma once

#include "tavo_kernel_export.h"

#include <QObject>
#include <QString>
#include <QTime>

/**
 * What devices and parameters have in common inside a device database: their
 * names, the numeric code the host gave them and whether that code is still
 * valid.
 */
class TAVO_KERNEL_EXPORT DbEntity : public QObject
{
    Q_OBJECT

public:
    enum State : qint32 {
        /// Not (or no longer) known to the host under a code.
        NotBound = 0,
        /// Known to the host under a code, or in need of none.
        Bound = 1
    };
    Q_ENUM(State)

    /// Codes that protocol plug-ins report about a device or a parameter. The
    /// kernel never interprets them, it relays them; a plug-in may pass any
    /// other value of the underlying type.
    enum NotifyMessage : qint32 {
        NoMessage = 0,
        DeviceNotFound = 1,
        ParamNotFound = 2,
        AccessDenied = 3,
        ValueRefused = 4,
        ReadFailed = 5,
        WriteFailed = 6,
        Timeout = 7,
        FileTransferStarted = 8,
        FileTransferFinished = 9,
        FileTransferFailed = 10
    };
    Q_ENUM(NotifyMessage)

    explicit DbEntity(QObject* parent = nullptr);
    ~DbEntity() override;

    /// The parent as an entity (a parameter's device), or null.
    DbEntity* parentEntity() const;

    /// Forgets the host's code; the entity may not be bound again before
    /// @p holdOffMs milliseconds have passed.
    void reset(int holdOffMs);
    void setState(DbEntity::State state) { m_state = state; }
    DbEntity::State state() const { return m_state; }

    /// Hook for every notification the device database relays; does nothing here.
    virtual void notify(DbEntity::NotifyMessage msgCode);

    QString name;
    QString className;
    /// For a parameter bound by the host, the code of the first element of its array.
    qint32 arrayBaseCode = -1;
    qint32 arrayIndex = 0;
    /// Elements of the array this element heads; 0 for the elements after the first.
    qint32 arraySize = 1;
    qint32 code = -1;
    QTime resetTime;

private:
    DbEntity::State m_state = NotBound;

public:
    qint32 tag = -1;
    qint32 baseTag = -1;
    /// Marks the service device and its root parameter.
    bool service = false;

private:
    Q_DISABLE_COPY(DbEntity)
};
