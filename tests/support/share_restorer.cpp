#include "share_restorer.h"

#include "foundation/app_shared.h"

ShareRestorer::ShareRestorer()
{
    keep(share::applicationPath, share::resourcesPath, share::pluginsPath, share::protocolsPath,
         share::xmlClassesPath, share::xmlNodeTypesPath, share::xmlDevBoardPath,
         share::xmlObservedBoard, share::m_sXmlUserListPath, share::m_sXmlUserListFile,
         share::xmlHostGraphFile, share::docPath, share::filesPath, share::soundPath,
         share::hostName, share::hostNameEnc, share::hostUrl, share::hostType, share::userType,
         share::hostPort, share::isPingUsing, share::isDebugMode, share::isSingleMode,
         share::isFullAccess, share::isSQLightUsing, share::isImportSettings,
         share::g_iMultiNodeAttrsKey, share::classDb, share::hostTypeDb, share::hostGraph,
         share::engineBox, share::protocolManager, share::boardController, share::pLog,
         share::scriptEngine);
}

ShareRestorer::~ShareRestorer()
{
    for (const auto& restore : m_restore)
        restore();
}
