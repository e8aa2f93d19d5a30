#include "profile_run.h"

#include "connections/engine.h"
#include "connections/engine_box.h"
#include "foundation/app_shared.h"
#include "foundation/safe_text.h"
#include "hostgraph/host_graph.h"
#include "templates/action_box.h"
#include "templates/sax_template_parser.h"

#include <QDir>
#include <QTimer>

namespace {

Engine* engineOf(int hostKey)
{
    return share::engineBox ? share::engineBox->getEngine(hostKey) : nullptr;
}

QString hostName(int hostKey)
{
    const NodeAttr* host = share::engineBox ? share::engineBox->getNodeAttr(hostKey) : nullptr;
    if (!host)
        return ProfileRun::tr("host %1").arg(hostKey);
    return utils::escapeControlCharacters(host->alias().isEmpty() ? host->url() : host->alias());
}

} // namespace

ProfileRun::ProfileRun(QObject* parent)
    : QObject(parent)
{
}

ProfileRun::~ProfileRun()
{
    // A box still running would go on writing to the hosts.
    delete m_box.data();
}

bool ProfileRun::start(const QString& path, const QList<int>& hostKeys)
{
    if (m_running)
        return false;
    m_running = true;
    m_done = 0;
    m_hostNames.clear();
    QList<Action*> actions;
    SaxTemplateParser parser;
    if (!parser.readFile(path, actions)) {
        qDeleteAll(actions);
        Q_EMIT stepDone({tr("%1 is not a readable profile (the log tells why): nothing written")
                             .arg(utils::escapeControlCharacters(QDir::toNativeSeparators(path))),
                         Step::Failed});
        finish();
        return false;
    }

    QList<int> connected;
    for (int key : hostKeys) {
        const Engine* engine = engineOf(key);
        if (engine && engine->isConnected()) {
            connected.append(key);
            m_hostNames.append(hostName(key));
        } else {
            Q_EMIT stepDone({tr("%1: not connected").arg(hostName(key)), Step::Skipped});
        }
    }
    Q_EMIT progress(0, connected.size());
    if (connected.isEmpty()) {
        qDeleteAll(actions);
        finish();
        return true;
    }

    m_box = new ActionBox(this);
    m_box->actions = actions;
    m_box->hostKeys = connected;
    connect(m_box, &ActionBox::signalCheckProfile, this, &ProfileRun::hostDone);
    // The box goes by itself once finished.
    connect(m_box, &ActionBox::signalEvaluateProfileFinish, this, &ProfileRun::finish);
    m_box->evaluateProfile();
    checkStalled();
    return true;
}

void ProfileRun::cancel()
{
    if (!m_running)
        return;
    skipRemaining(tr("%1: not applied, cancelled"));
    delete m_box.data();
    finish();
}

void ProfileRun::hostDone(int index, bool ok)
{
    const QString name = m_hostNames.value(index);
    Q_EMIT stepDone(
        {ok ? tr("%1: profile applied").arg(name)
            : tr("%1: not applied completely (a write was refused, or the host did not confirm "
                 "a stage within 5 s)")
                  .arg(name),
         ok ? Step::Done : Step::Failed});
    Q_EMIT progress(++m_done, m_hostNames.size());
    // The box moves on to the next host as soon as this returns.
    QTimer::singleShot(0, this, &ProfileRun::checkStalled);
}

// The kernel stops without a word when the next host's engine is gone.
void ProfileRun::checkStalled()
{
    if (!m_running || !m_box || m_box->hostKeys.isEmpty() || engineOf(m_box->hostKeys.first()))
        return;
    skipRemaining(tr("%1: not applied, the host was removed"));
    delete m_box.data();
    finish();
}

void ProfileRun::skipRemaining(const QString& reason)
{
    if (!m_box)
        return;
    const int remaining = m_box->hostKeys.size();
    for (int i = m_hostNames.size() - remaining; i < m_hostNames.size(); ++i)
        Q_EMIT stepDone({reason.arg(m_hostNames.value(i)), Step::Skipped});
}

void ProfileRun::finish()
{
    if (!m_running)
        return;
    m_running = false;
    Q_EMIT finished();
}
