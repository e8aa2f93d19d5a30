// Prints the share globals after command_line_options() and global_init(),
// one "name=value" line each, for tst_app_shared.
#include "foundation/app_shared.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    share::command_line_options();
    share::global_init();

    const QList<QPair<const char*, QString>> values = {
        {"applicationPath", share::applicationPath},
        {"resourcesPath", share::resourcesPath},
        {"pluginsPath", share::pluginsPath},
        {"protocolsPath", share::protocolsPath},
        {"xmlClassesPath", share::xmlClassesPath},
        {"xmlNodeTypesPath", share::xmlNodeTypesPath},
        {"xmlDevBoardPath", share::xmlDevBoardPath},
        {"xmlObservedBoard", share::xmlObservedBoard},
        {"m_sXmlUserListPath", share::m_sXmlUserListPath},
        {"m_sXmlUserListFile", share::m_sXmlUserListFile},
        {"xmlHostGraphFile", share::xmlHostGraphFile},
        {"docPath", share::docPath},
        {"filesPath", share::filesPath},
        {"soundPath", share::soundPath},
        {"hostName", share::hostName},
        {"hostNameEnc", share::hostNameEnc},
        {"hostUrl", share::hostUrl},
        {"hostType", share::hostType},
        {"userType", share::userType},
        {"hostPort", QString::number(share::hostPort)},
        {"isPingUsing", QString::number(share::isPingUsing)},
        {"isDebugMode", QString::number(share::isDebugMode)},
        {"isSingleMode", QString::number(share::isSingleMode)},
        {"isFullAccess", QString::number(share::isFullAccess)},
        {"isSQLightUsing", QString::number(share::isSQLightUsing)},
        {"isImportSettings", QString::number(share::isImportSettings)},
        {"multiNodeAttrsKey", QString::number(share::g_iMultiNodeAttrsKey)},
    };
    for (const auto& value : values) {
        std::printf("%s=%s\n", value.first, value.second.toUtf8().constData());
    }
    return 0;
}
