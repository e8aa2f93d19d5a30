#include "kernel_fixture.h"

#include "classes/class_db.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"

KernelFixture::KernelFixture()
{
    share::scriptEngine = &engine;
    dir.makeDir(QStringLiteral("xml_classes"));
    share::xmlClassesPath = classesDir();
}

KernelFixture::~KernelFixture()
{
    if (share::classDb == m_classDb.get())
        share::classDb = nullptr;
}

QString KernelFixture::writeClassFile(const QString& relative, const QByteArray& body) const
{
    return writeRawClassFile(
        relative,
        QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<classlist>\n") + body +
            QByteArray("\n</classlist>\n"));
}

ClassDb* KernelFixture::loadClasses()
{
    m_classDb = std::make_unique<ClassDb>(nullptr);
    share::classDb = m_classDb.get();
    return m_classDb.get();
}

void readEveryParamOfNewDevices(DeviceDb* db)
{
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
}
