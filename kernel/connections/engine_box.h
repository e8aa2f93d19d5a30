#pragma once

#include "tavo_kernel_export.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

class Engine;
class EngineBroker;
class NodeAttr;

/**
 * A terminal's brokers, one per host it shows: by host key, and by cached
 * engine position in a sparse list whose holes are null.
 */
class TAVO_KERNEL_EXPORT BrokerBox : public QObject
{
public:
    explicit BrokerBox(QObject* parent = nullptr);
    ~BrokerBox() override;

    /// Files @p broker under its host's key and at @p position.
    void addEngineBroker(EngineBroker* broker, int position);
    /// Unfiles @p broker and deletes it later.
    void deleteEngineBroker(EngineBroker* broker);
    void addEngineBrokerInList(EngineBroker* broker, int position);
    EngineBroker* getBrokerInList(int position) const;
    /// Also files the broker found at a non-negative @p position.
    EngineBroker* getBrokerInMap(int key, int position);

    QMap<int, EngineBroker*> brokersByKey;
    QList<EngineBroker*> brokerList;

private:
    Q_DISABLE_COPY(BrokerBox)
};

/**
 * The engines of the process, one per host. Positions in the engine list are
 * the hosts' engine indexes; every deletion renumbers them and advances the
 * deletion stamp, by which cached positions know that they are stale.
 */
class TAVO_KERNEL_EXPORT EngineBox : public QObject
{
    Q_OBJECT

public:
    /// The stamp runs 0..MaxDeletionStamp and then starts again.
    static constexpr int MaxDeletionStamp = 10000;

    explicit EngineBox(QObject* parent = nullptr);
    ~EngineBox() override;

    Engine* createEngine(NodeAttr* node);
    void deleteEngine(int key);
    /// The engine itself goes later, on the event loop.
    void deleteEngine(Engine* engine);

    Engine* getEngine(int key) const;
    NodeAttr* getNodeAttr(int key) const;
    Engine* getEngineByNodeAttr(NodeAttr* node) const;
    /// Engines in key order matching every criterion given: a non-empty url,
    /// a non-zero port, and the variables the host has.
    QList<Engine*> getEngineList(const QString& url, unsigned short port,
                                 const QMap<QString, QString>& vars) const;
    QList<Engine*> getEngineList(const QString& url, const QString& hostTypeName,
                                 const QMap<QString, QString>& vars) const;

    EngineBroker* findBrokerByReliableEngineIndex(BrokerBox* box, int position);
    EngineBroker* findBrokerByUnreliableBrokerIndex(BrokerBox* box, int& position, int key);
    void editEngineMap(const QString& oldUrl, const QString& newUrl, Engine* engine);

    const QList<Engine*>& enginesList() const { return engines; }
    int deletionStamp() const { return stamp; }

    QList<Engine*> engines;
    QMap<QString, Engine*> enginesByUrl;
    QMap<int, Engine*> enginesByKey;
    qint32 stamp = 0;

Q_SIGNALS:
    void signalEngineAppended(int iNodeAttrKey);
    void signalAboutToEngineDelete(int iNodeAttrKey);

public Q_SLOTS:
    /// Releases the scheduler blocks of a closing terminal: on every engine
    /// for a negative key.
    void slotTerminalIsAboutToClose(int iDestNodeAttrKey, int iSrcTerminalIndex);

private:
    bool isCurrent(const EngineBroker* broker) const;

    Q_DISABLE_COPY(EngineBox)
};
