#include "client.h"
#include "fleet_stats.h"
#include "staggered_connector.h"

#include "alarms/eventmonitor.h"
#include "classes/class_db.h"
#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "foundation/safe_text.h"
#include "history/history_recorder.h"
#include "hostgraph/host_graph.h"
#include "templates/action_box.h"
#include "templates/sax_template_parser.h"

#include <QCoreApplication>
#include <QTime>

#include <cstdio>

bool ClientOptions::parse(const QStringList& arguments, QString* error)
{
    auto valueOf = [](const QString& argument, const char* prefix, QString& value) {
        if (!argument.startsWith(QLatin1String(prefix)))
            return false;
        value = argument.mid(int(qstrlen(prefix)));
        return true;
    };
    for (const QString& argument : arguments) {
        QString value;
        bool ok = true;
        if (valueOf(argument, "--period=", value)) {
            periodSec = value.toInt(&ok);
            ok = ok && periodSec > 0;
        } else if (valueOf(argument, "--duration=", value)) {
            durationSec = value.toInt(&ok);
            ok = ok && durationSec >= 0;
        } else if (valueOf(argument, "--connect-timeout=", value)) {
            connectTimeoutSec = value.toInt(&ok);
            ok = ok && connectTimeoutSec > 0;
        } else if (valueOf(argument, "--protocol=", value)) {
            protocol = value;
        } else if (valueOf(argument, "--debug-group=", value)) {
            debugGroups << value;
        } else if (valueOf(argument, "--set=", value)) {
            const int dot = value.indexOf(QLatin1Char('.'));
            const int equals = value.indexOf(QLatin1Char('='), dot + 1);
            ok = dot > 0 && equals > dot + 1;
            if (ok)
                writes.append({value.left(dot), value.mid(dot + 1, equals - dot - 1),
                               value.mid(equals + 1), false});
        } else if (valueOf(argument, "--template=", value)) {
            templateFile = value;
        } else if (valueOf(argument, "--device=", value)) {
            templateDevice = value;
        } else if (valueOf(argument, "--profile=", value)) {
            profileFile = value;
        } else if (valueOf(argument, "--add-host=", value)) {
            const QStringList parts = value.split(QLatin1Char(':'));
            int port = 0;
            ok = parts.size() == 3 && !parts.at(0).isEmpty() && !parts.at(2).isEmpty();
            if (ok)
                port = parts.at(1).toInt(&ok);
            ok = ok && port > 0 && port <= 65535;
            if (ok)
                addHosts.append({parts.at(0), quint16(port), parts.at(2)});
        } else if (valueOf(argument, "--var=", value)) {
            const int equals = value.indexOf(QLatin1Char('='));
            ok = equals > 0;
            if (ok)
                vars.insert(value.left(equals), value.mid(equals + 1));
        } else if (valueOf(argument, "--stats=", value)) {
            statsFile = value;
            ok = !value.isEmpty();
        } else if (valueOf(argument, "--stats-after=", value)) {
            statsAfterSec = value.toInt(&ok);
            ok = ok && statsAfterSec >= 0;
        } else if (valueOf(argument, "--user=", value)) {
            user = value;
        } else if (argument == QLatin1String("--board")) {
            board = true;
        } else if (argument == QLatin1String("--reconnect")) {
            reconnect = true;
        }
        if (!ok) {
            *error = QStringLiteral("bad option '%1'").arg(argument);
            return false;
        }
    }
    if (!templateFile.isEmpty() && templateDevice.isEmpty()) {
        *error = QStringLiteral("--template needs --device=<device name>");
        return false;
    }
    return true;
}

Client::Client(const ClientOptions& options, QObject* parent)
    : QObject(parent)
    , m_options(options)
    , m_connector(new StaggeredConnector(this))
{
    connect(&m_writeTimer, &QTimer::timeout, this, &Client::applyWrites);
    connect(&m_silenceTimer, &QTimer::timeout, this, &Client::checkSilence);
}

Client::~Client() = default;

bool Client::writeStats() const
{
    return !m_stats || m_stats->write(m_options.statsFile);
}

// Lines carry device names and values from hosts: one event stays one line
// and cannot steer the terminal.
void Client::print(const QString& line)
{
    std::printf("%s %s\n",
                qPrintable(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"))),
                qPrintable(utils::escapeControlCharacters(line)));
    std::fflush(stdout);
}

QString Client::hostOf(const QObject* object) const
{
    while (object && !qobject_cast<const Engine*>(object))
        object = object->parent();
    const auto* engine = qobject_cast<const Engine*>(object);
    const NodeAttr* node = engine ? engine->nodeAttr() : nullptr;
    return node ? node->alias() : QStringLiteral("?");
}

void Client::start()
{
    const QList<Engine*> engines = share::engineBox->enginesList();
    if (!m_options.statsFile.isEmpty())
        m_stats = std::make_unique<FleetStats>(int(engines.size()),
                                               qint64(m_options.statsAfterSec) * 1000);
    for (Engine* engine : engines)
        watch(engine);
    m_connector->connectAll(engines);
    if (!m_options.writes.isEmpty())
        m_writeTimer.start(250);
    m_silenceTimer.start(500);
    if (m_options.durationSec > 0)
        QTimer::singleShot(m_options.durationSec * 1000, qApp, [] { QCoreApplication::exit(0); });
    QTimer::singleShot(m_options.connectTimeoutSec * 1000, this, [this] {
        if (m_everConnected.isEmpty()) {
            print(QStringLiteral("FAILED no host could be connected"));
            QCoreApplication::exit(3);
        }
    });
    if (engines.isEmpty()) {
        print(QStringLiteral("FAILED no host to connect: give -s <url> or create a host graph"));
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(3); });
    }
}

void Client::watch(Engine* engine)
{
    connect(engine, &QObject::destroyed, this, [this, engine] {
        m_hearing.remove(engine);
        m_everConnected.remove(engine);
    });
    DeviceDb* db = engine->deviceDb();
    connect(db, &DeviceDb::signalDeviceAppended, this,
            [this, db](const QString& className, int tag, int baseTag) {
                deviceAppended(db, className, tag, baseTag);
            });
    connect(db, &DeviceDb::signalAboutToDeviceDelete, this, [this, db](const QString& name) {
        const Device* device = db->findDevice(name);
        if (!device)
            return;
        for (const Param* param : qAsConst(device->parameters))
            m_lastText.remove(param);
        if (m_stats)
            m_stats->unsubscribed(device);
    });
    connect(db, &DeviceDb::signalDeviceDelete, this, [this, db](const QString& name) {
        print(QStringLiteral("DEVICE %1 %2 removed").arg(hostOf(db), name));
    });
    connect(engine, &Engine::signalSocketConnected, this, [this, engine](int) {
        if (m_stats)
            m_stats->hostConnected();
        m_everConnected.insert(engine);
        m_hearing[engine] = Hearing();
        m_hearing[engine].since.start();
        print(QStringLiteral("CONNECTED %1").arg(hostOf(engine)));
        // Templates and profiles go once the hosts have announced their
        // devices.
        if (!m_filesStarted &&
            (!m_options.templateFile.isEmpty() || !m_options.profileFile.isEmpty())) {
            m_filesStarted = true;
            QTimer::singleShot(1500, this, [this] {
                if (!m_options.templateFile.isEmpty())
                    runTemplate();
                if (!m_options.profileFile.isEmpty())
                    runProfile();
            });
        }
    });
    connect(engine, &Engine::signalSocketDisconnected, this, [this, engine](int) {
        if (m_stats)
            m_stats->hostDisconnected();
        m_hearing.remove(engine);
        print(QStringLiteral("DISCONNECTED %1").arg(hostOf(engine)));
        if (m_options.reconnect)
            QTimer::singleShot(2000, engine, [engine] { engine->connectToHost(); });
    });
    // A refused or failed attempt gives no disconnected signal: try again.
    if (m_options.reconnect) {
        auto* retry = new QTimer(engine);
        connect(retry, &QTimer::timeout, engine, [engine] {
            if (!engine->isConnected() && !engine->connecting)
                engine->connectToHost();
        });
        retry->start(3000);
    }
}

void Client::deviceAppended(DeviceDb* db, const QString& className, int tag, int baseTag)
{
    QString name;
    if (!DeviceDb::makeUpDeviceName(name, className, tag, baseTag))
        return;
    Device* device = db->findDevice(name);
    if (!device || !device->populateDevice())
        return;
    print(QStringLiteral("DEVICE %1 %2 appeared (%3 parameters)")
              .arg(hostOf(db), name)
              .arg(device->parameters.size()));
    int ticket = db->getTicketId(name);
    for (const Param* param : qAsConst(device->parameters))
        db->setTicket(name, param->DbEntity::name, ticket, m_options.periodSec);
    if (m_stats)
        m_stats->subscribed(device);
    // The device rides along: sender() would walk every device of every
    // host on every value.
    connect(device, &Device::signalParamHasRead, this,
            [this, device](int, int, int, const ParamCore* pcore) { paramRead(device, pcore); });
}

void Client::paramRead(const Device* device, const ParamCore* pcore)
{
    if (!pcore)
        return;
    const auto* param = static_cast<const Param*>(pcore);
    if (m_stats)
        m_stats->valueArrived(pcore);
    // Virtual parameters are computed here, also while the host is mute.
    if (!param->isVirtual)
        heardFrom(
            qobject_cast<const Engine*>(device->parent() ? device->parent()->parent() : nullptr));
    QString text;
    pcore->getReadValuePresentation(nullptr, &text, nullptr);
    auto last = m_lastText.find(pcore);
    if (last != m_lastText.end() && last.value() == text)
        return;
    m_lastText.insert(pcore, text);
    print(QStringLiteral("VALUE %1 %2 %3 = %4")
              .arg(hostOf(device), device->DbEntity::name, param->DbEntity::name, text));
}

void Client::heardFrom(const Engine* engine)
{
    auto hearing = m_hearing.find(engine);
    if (hearing == m_hearing.end())
        return;
    if (hearing->silent) {
        hearing->silent = false;
        print(QStringLiteral("ANSWERING %1 again after %2 s")
                  .arg(hostOf(engine))
                  .arg(hearing->since.elapsed() / 1000));
    }
    hearing->since.restart();
}

void Client::checkSilence()
{
    const qint64 limitMs = 3 * qint64(m_options.periodSec) * 1000;
    for (auto it = m_hearing.begin(); it != m_hearing.end(); ++it) {
        if (it->silent || it->since.elapsed() < limitMs)
            continue;
        it->silent = true;
        print(QStringLiteral("SILENT %1 answered nothing for %2 s")
                  .arg(hostOf(it.key()))
                  .arg(it->since.elapsed() / 1000));
    }
}

void Client::applyWrites()
{
    bool pending = false;
    for (ClientOptions::Write& write : m_options.writes) {
        if (write.queued)
            continue;
        pending = true;
        for (Engine* engine : share::engineBox->enginesList()) {
            DeviceDb* db = engine->deviceDb();
            const Param* param = db->getParam(write.device, write.param);
            if (!param || param->code < 0 || !engine->isConnected())
                continue;
            // Numbers may be given as one of the parameter's aliases.
            bool accepted = false;
            if (param->isNumericType()) {
                unsigned long value = 0;
                accepted = (param->findAlias(write.value, value) ||
                            imageToParamType(write.value, param->type, &value, nullptr)) &&
                    db->writeQuery(write.device, write.param, value, false);
            } else {
                accepted = db->writeQuery(write.device, write.param, write.value, false);
            }
            write.queued = true;
            if (accepted) {
                print(QStringLiteral("WRITE %1 %2 %3 = %4 queued")
                          .arg(hostOf(engine), write.device, write.param, write.value));
            } else {
                print(QStringLiteral("WRITE %1 %2 %3 = %4 refused")
                          .arg(hostOf(engine), write.device, write.param, write.value));
            }
        }
    }
    if (!pending)
        m_writeTimer.stop();
}

void Client::runTemplate()
{
    QList<Action*> actions;
    SaxTemplateParser parser;
    if (!parser.readFile(m_options.templateFile, actions)) {
        print(QStringLiteral("TEMPLATE %1 cannot be read").arg(m_options.templateFile));
        qDeleteAll(actions);
        return;
    }
    for (Engine* engine : share::engineBox->enginesList()) {
        const NodeAttr* node = engine->nodeAttr();
        if (!node || !engine->deviceDb()->findDevice(m_options.templateDevice))
            continue;
        ActionBox box(nullptr);
        const bool ok = box.evaluateTemplate(actions, node->key(), m_options.templateDevice);
        print(QStringLiteral("TEMPLATE %1 %2 %3")
                  .arg(hostOf(engine), m_options.templateDevice,
                       ok ? QStringLiteral("written") : QStringLiteral("failed")));
    }
    qDeleteAll(actions);
}

void Client::runProfile()
{
    // The box deletes itself when the profile is done.
    auto* box = new ActionBox(nullptr);
    SaxTemplateParser parser;
    if (!parser.readFile(m_options.profileFile, box->actions)) {
        print(QStringLiteral("PROFILE %1 cannot be read").arg(m_options.profileFile));
        delete box;
        return;
    }
    QStringList hosts;
    for (Engine* engine : share::engineBox->enginesList()) {
        if (const NodeAttr* node = engine->nodeAttr()) {
            box->hostKeys.append(node->key());
            hosts.append(hostOf(engine));
        }
    }
    connect(box, &ActionBox::signalCheckProfile, this, [hosts](int index, bool ok) {
        print(QStringLiteral("PROFILE %1 %2")
                  .arg(hosts.value(index), ok ? QStringLiteral("done") : QStringLiteral("failed")));
    });
    connect(box, &ActionBox::signalEvaluateProfileFinish, this,
            [] { print(QStringLiteral("PROFILE finished")); });
    box->evaluateProfile();
}

void Client::boardChanged(QString hostName, bool ok, QString devName)
{
    if (!m_options.board)
        return;
    if (devName.isEmpty())
        print(QStringLiteral("BOARD %1 suspended").arg(hostName));
    else
        print(QStringLiteral("BOARD %1 %2 %3")
                  .arg(hostName, devName,
                       ok ? QStringLiteral("present") : QStringLiteral("MISSING")));
}

void Client::paramStateChanged(const Param* param, int newState, int oldState)
{
    const auto* device = param ? qobject_cast<const Device*>(param->parent()) : nullptr;
    if (!device)
        return;
    if (m_stats) {
        const auto* db = device->parent();
        const auto* engine = qobject_cast<const Engine*>(db ? db->parent() : nullptr);
        const NodeAttr* node = engine ? engine->nodeAttr() : nullptr;
        m_stats->stateChanged(node ? node->port() : 0, device->DbEntity::name,
                              param->DbEntity::name, newState);
    }
    print(QStringLiteral("STATE %1 %2 %3 %4 (was %5)")
              .arg(hostOf(device), device->DbEntity::name, param->DbEntity::name,
                   share::alarmStateToStr(Tavo::AlarmType(newState)),
                   oldState == -2 ? QStringLiteral("unknown")
                                  : share::alarmStateToStr(Tavo::AlarmType(oldState))));
}

void Client::openTerminal(QList<int> keys)
{
    for (int key : keys)
        print(QStringLiteral("REACTION terminal on host %1").arg(key));
}

void Client::sendEmail(const QString& address, const QString& text)
{
    print(QStringLiteral("REACTION email to %1: %2").arg(address, text));
    if (m_recorder)
        m_recorder->recordReaction(QStringLiteral("email"),
                                   QStringLiteral("%1: %2").arg(address, text));
}

void Client::sendSms(const QString& address, const QString& text)
{
    print(QStringLiteral("REACTION sms to %1: %2").arg(address, text));
    if (m_recorder)
        m_recorder->recordReaction(QStringLiteral("sms"),
                                   QStringLiteral("%1: %2").arg(address, text));
}

void Client::playSound(const QString& fileName)
{
    print(QStringLiteral("REACTION sound %1").arg(fileName));
    if (m_recorder)
        m_recorder->recordReaction(QStringLiteral("sound"), fileName);
}
