#include "client_fixture.h"

#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

ClientFixture::ClientFixture(const QString& scenario)
{
    QStandardPaths::setTestModeEnabled(true);
    // The client's own settings (native format) and the kernel's ini files,
    // both in this test's folder, so that no run sees another's.
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, dir.filePath(QStringLiteral("settings")));
    QDir().mkpath(dir.filePath(QStringLiteral("settings/tavo-client")));
    // No reactions configured unless a test writes its own action list.
    QFile actions(dir.filePath(QStringLiteral("settings/tavo-client/tavo_action_list.xml.ini")));
    if (actions.open(QIODevice::WriteOnly))
        actions.write("<?xml version=\"1.0\"?>\n<actionlist/>\n");
    actions.close();

    share::resourcesPath = QStringLiteral(TAVO_DEMO_DIR);
    share::pluginsPath = QStringLiteral(TAVO_PLUGINS_DIR);
    share::global_init();
    share::isSingleMode = false;

    const QString portFile = dir.filePath(QStringLiteral("ports"));
    QObject::connect(&m_simulator, &QProcess::readyReadStandardOutput, [this] {
        m_simulatorOut += QString::fromUtf8(m_simulator.readAllStandardOutput());
    });
    m_simulator.start(
        QStringLiteral(TAVO_NESIM_BIN),
        {QStringLiteral("--classes=" TAVO_DEMO_DIR "/xml_classes"),
         QStringLiteral("--scenario=%1")
             .arg(scenario.isEmpty() ? QStringLiteral(TAVO_DEMO_DIR "/scenario.txt") : scenario),
         QStringLiteral("--port=0"), QStringLiteral("--udp-port=0"),
         QStringLiteral("--port-file=%1").arg(portFile)});
    QElapsedTimer wait;
    wait.start();
    while (QFileInfo(portFile).size() == 0 && wait.elapsed() < 10000 &&
           m_simulator.state() != QProcess::NotRunning)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QFile ports(portFile);
    if (ports.open(QIODevice::ReadOnly))
        m_simulatorPort = quint16(ports.readAll().split(' ').value(0).toUInt());

    kernel = std::make_unique<KernelStartup>(&log);
}

ClientFixture::~ClientFixture()
{
    kernel.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (m_simulator.state() != QProcess::NotRunning) {
        m_simulator.kill();
        m_simulator.waitForFinished(5000);
    }
}

QString ClientFixture::simulatorOutput()
{
    m_simulatorOut += QString::fromUtf8(m_simulator.readAllStandardOutput());
    return m_simulatorOut;
}

NodeAttr* ClientFixture::addSimulatorHost()
{
    return kernel->createHost(QStringLiteral("127.0.0.1"), m_simulatorPort,
                              QStringLiteral("tavo-ne"));
}

void ClientFixture::connectReadingAll(NodeAttr* host)
{
    Engine* engine = kernel->engineBox->getEngineByNodeAttr(host);
    DeviceDb* db = engine->deviceDb();
    QObject::connect(db, &DeviceDb::signalDeviceAppended, db,
                     [db](const QString& className, int tag, int baseTag) {
                         QString name;
                         if (!DeviceDb::makeUpDeviceName(name, className, tag, baseTag))
                             return;
                         Device* device = db->findDevice(name);
                         if (!device || !device->populateDevice())
                             return;
                         int ticket = db->getTicketId(name);
                         for (const Param* p : qAsConst(device->parameters))
                             db->setTicket(name, p->DbEntity::name, ticket, 1);
                     });
    engine->connectToHost();
}
