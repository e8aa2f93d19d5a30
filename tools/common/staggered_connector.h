#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class Engine;

/**
 * Connects many engines a few at a time. Every connection that comes up asks
 * its host for its devices and gets them populated and subscribed; thousands
 * of those at once would hold the event loop for seconds, and the engines'
 * ticks and every other socket with it. A batch follows the previous one
 * only once the loop has come back to the timer, so a busy loop slows the
 * attempts down by itself.
 */
class StaggeredConnector : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultBatch = 20;
    static constexpr int DefaultIntervalMs = 10;

    explicit StaggeredConnector(QObject* parent = nullptr);
    ~StaggeredConnector() override;

    /// Attempts per batch and the pause between batches.
    void setPace(int batch, int intervalMs);
    /// Queues @p engines behind those still waiting; the first batch goes
    /// on the next turn of the event loop.
    void connectAll(const QList<Engine*>& engines);
    /// Engines whose attempt has not been started yet.
    int waiting() const { return m_queue.size() - m_next; }

Q_SIGNALS:
    /// Every engine queued has had its attempt started.
    void allStarted();

private:
    void startBatch();

    QList<QPointer<Engine>> m_queue;
    int m_next = 0;
    int m_batch = DefaultBatch;
    int m_intervalMs = DefaultIntervalMs;
    QTimer m_timer;
};
