#include "board/boardcontroller.h"

#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "foundation/app_shared.h"
#include "foundation/log_p.h"
#include "foundation/resource_walk_p.h"
#include "foundation/xml_stream_p.h"
#include "hostgraph/host_graph.h"

#include <QDir>
#include <QFile>
#include <QTimer>

namespace {

// Lets the device database fill after a connection before the first check.
constexpr int SettleMs = 2000;

Engine* engineOf(QObject* object)
{
    return qobject_cast<Engine*>(object);
}

QString urlOf(const Engine* engine)
{
    const NodeAttr* node = engine ? engine->nodeAttr() : nullptr;
    return node ? node->url() : QString();
}

} // namespace

// ---------------------------------------------------------------------------
// BoardController

BoardController::BoardController(QObject* parent)
    : QObject(parent)
{
    loadDir(share::xmlObservedBoard);
    if (share::engineBox)
        connect(share::engineBox, SIGNAL(signalEngineAppended(int)), this,
                SLOT(engineAppended(int)));
    const QStringList hosts = board.keys();
    for (const QString& host : hosts)
        engineAppended(host, QString());
}

BoardController::~BoardController() = default;

void BoardController::loadDir(const QString& dir)
{
    if (!QDir(dir).exists()) {
        tavolog::error(tr("Directory '%1' is not exits").arg(dir));
        return;
    }
    tavolog::message(
        tr("[BoardController::loadDir()] Check directory '%1' for the observed board database.")
            .arg(dir));
    tavoresources::forEachXmlFile(dir, [this](const QString& path) { loadFromFile(path); });
}

void BoardController::loadFromFile(const QString& path)
{
    if (!QFile::exists(path))
        tavolog::error(tr("File not found: %1").arg(path));
    ObservedBoardParser parser(this);
    parser.readFile(path);
}

void BoardController::follow(QObject* engine)
{
    connect(engine, SIGNAL(signalSocketConnected(int)), this, SLOT(connectToHost(int)),
            Qt::UniqueConnection);
    connect(engine, SIGNAL(signalSocketDisconnected(int)), this, SLOT(disconnectFromHost(int)),
            Qt::UniqueConnection);
}

void BoardController::engineAppended(QString hostName, QString)
{
    if (!board.contains(hostName) || !share::engineBox)
        return;
    const QList<Engine*> engines =
        share::engineBox->getEngineList(hostName, 0, QMap<QString, QString>());
    if (engines.size() == 1)
        follow(engines.first());
}

void BoardController::engineAppended(int key)
{
    Engine* engine = share::engineBox ? share::engineBox->getEngine(key) : nullptr;
    if (engine && board.contains(urlOf(engine)))
        follow(engine);
}

void BoardController::connectToHost(int)
{
    Engine* engine = engineOf(sender());
    if (!engine)
        return;
    DeviceDb* db = engine->deviceDb();
    connect(db, SIGNAL(signalDeviceAppended(QString, int, int)), this,
            SLOT(deviceAppended(QString, int, int)), Qt::UniqueConnection);
    connect(db, SIGNAL(signalDeviceDelete(QString)), this, SLOT(deviceDeleted(QString)),
            Qt::UniqueConnection);
    auto* functor = new ObjectSlotFunctor(this, &BoardController::assignSignals, urlOf(engine));
    QTimer::singleShot(SettleMs, functor, SLOT(singleSlot()));
}

void BoardController::assignSignals(const QString& hostName)
{
    auto it = board.find(hostName);
    if (it == board.end())
        return;
    it->suspended = false;
    chechDevice(hostName);
}

void BoardController::disconnectFromHost(int)
{
    Engine* engine = engineOf(sender());
    if (!engine)
        return;
    DeviceDb* db = engine->deviceDb();
    disconnect(db, SIGNAL(signalDeviceAppended(QString, int, int)), this,
               SLOT(deviceAppended(QString, int, int)));
    disconnect(db, SIGNAL(signalDeviceDelete(QString)), this, SLOT(deviceDeleted(QString)));
    const QString host = urlOf(engine);
    auto it = board.find(host);
    if (it == board.end())
        return;
    it->suspended = true;
    Q_EMIT boardChaneged(host, true, QString());
}

void BoardController::checkSender()
{
    auto* db = qobject_cast<DeviceDb*>(sender());
    Engine* engine = db ? engineOf(db->parent()) : nullptr;
    if (!engine)
        return;
    const QString host = urlOf(engine);
    auto it = board.constFind(host);
    if (it != board.cend() && !it->suspended)
        chechDevice(host);
}

void BoardController::deviceAppended(QString, int, int)
{
    checkSender();
}

void BoardController::deviceDeleted(QString)
{
    checkSender();
}

void BoardController::chechDevice(const QString& hostName)
{
    if (!share::engineBox)
        return;
    const QList<Engine*> engines =
        share::engineBox->getEngineList(hostName, 0, QMap<QString, QString>());
    if (engines.size() != 1)
        return;
    const DeviceDb* db = engines.first()->deviceDb();
    const QStringList expected = board.value(hostName).devices;
    for (const QString& name : expected) {
        if (db->findDevice(name)) {
            Q_EMIT boardChaneged(hostName, true, name);
        } else {
            tavolog::error(tr("Device '%1' is not exits").arg(name));
            Q_EMIT boardChaneged(hostName, false, name);
        }
    }
}

// ---------------------------------------------------------------------------
// ObjectSlotFunctor

ObjectSlotFunctor::ObjectSlotFunctor(BoardController* controller, Operation operation,
                                     const QString& argument)
    : QObject(nullptr)
    , m_controller(controller)
    , m_operation(operation)
    , m_argument(argument)
{
}

ObjectSlotFunctor::~ObjectSlotFunctor() = default;

void ObjectSlotFunctor::singleSlot()
{
    if (m_controller)
        (m_controller.data()->*m_operation)(m_argument);
    deleteLater();
}

// ---------------------------------------------------------------------------
// ObservedBoardParser

ObservedBoardParser::ObservedBoardParser(BoardController* controller)
    : m_controller(controller)
{
}

bool ObservedBoardParser::readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        tavolog::error(tr("Cannot read file %1: %2.").arg(path, file.errorString()));
        return false;
    }
    m_reader.setDevice(&file);
    while (!m_reader.atEnd()) {
        m_reader.readNext();
        if (m_reader.isStartElement()) {
            if (m_reader.name() == QLatin1String("observer_list"))
                readRootElement();
            else
                m_reader.raiseError(tr("Not a observer_list file"));
        }
    }
    file.close();
    // Asked before the reader lets go of the file, which clears its error.
    const bool parsed = !m_reader.hasError();
    const QString parseError = m_reader.errorString();
    m_reader.setDevice(nullptr);
    if (!parsed) {
        tavolog::error(tr("Failed to parse file %1: %2").arg(path, parseError));
        return false;
    }
    if (file.error() != QFile::NoError) {
        tavolog::error(tr("Cannot read file %1: %2.").arg(path, file.errorString()));
        return false;
    }
    return true;
}

void ObservedBoardParser::readRootElement()
{
    tavoxml::readChildren(m_reader, [this](const QStringRef& name) {
        if (name != QLatin1String("observer")) {
            tavoxml::skipUnknownElement(m_reader);
            return;
        }
        QStringList hosts;
        QStringList devices;
        readObserverElement(hosts, devices);
        for (const QString& host : qAsConst(hosts)) {
            // The first observer of a host keeps it.
            if (!m_controller->board.contains(host))
                m_controller->board.insert(host, {true, devices});
        }
    });
}

void ObservedBoardParser::readObserverElement(QStringList& hosts, QStringList& devices)
{
    tavoxml::readChildren(m_reader, [&](const QStringRef& name) {
        if (name == QLatin1String("host"))
            hosts.append(readHostElement());
        else if (name == QLatin1String("devicelist"))
            devices.append(readDeviceListElement());
        else
            tavoxml::skipUnknownElement(m_reader);
    });
}

QString ObservedBoardParser::readHostElement()
{
    const QString name = m_reader.attributes().value(QStringLiteral("name")).toString();
    tavoxml::skipUnknownElement(m_reader); // the content is ignored
    return name;
}

QStringList ObservedBoardParser::readDeviceListElement()
{
    QStringList devices;
    tavoxml::readChildren(m_reader, [&](const QStringRef& name) {
        if (name == QLatin1String("device"))
            devices.append(readDeviceElement());
        else
            tavoxml::skipUnknownElement(m_reader);
    });
    return devices;
}

QString ObservedBoardParser::readDeviceElement()
{
    return m_reader.readElementText(QXmlStreamReader::SkipChildElements);
}
