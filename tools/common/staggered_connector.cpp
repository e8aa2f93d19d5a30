#include "staggered_connector.h"

#include "connections/engine.h"

StaggeredConnector::StaggeredConnector(QObject* parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &StaggeredConnector::startBatch);
}

StaggeredConnector::~StaggeredConnector() = default;

void StaggeredConnector::setPace(int batch, int intervalMs)
{
    m_batch = qMax(1, batch);
    m_intervalMs = qMax(0, intervalMs);
}

void StaggeredConnector::connectAll(const QList<Engine*>& engines)
{
    for (Engine* engine : engines)
        m_queue.append(engine);
    if (!m_timer.isActive())
        m_timer.start(0);
}

void StaggeredConnector::startBatch()
{
    // Runs from a single shot timer, armed again only after the batch: a
    // batch whose consequences keep the loop busy delays the next one.
    const int end = qMin(int(m_queue.size()), m_next + m_batch);
    for (; m_next < end; ++m_next) {
        // A host deleted while waiting has no engine left to connect.
        if (Engine* engine = m_queue.at(m_next))
            engine->connectToHost();
    }
    if (m_next < m_queue.size()) {
        m_timer.start(m_intervalMs);
        return;
    }
    m_queue.clear();
    m_next = 0;
    Q_EMIT allStarted();
}
