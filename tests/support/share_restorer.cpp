#include "share_restorer.h"

#include "foundation/app_shared.h"

#include <utility>

namespace {
// One list of the globals for both directions, so the two cannot drift apart.
template<typename Self, typename Copy> void eachGlobal(Self& self, Copy copy)
{
    copy(self.applicationPath, share::applicationPath);
    copy(self.resourcesPath, share::resourcesPath);
    copy(self.pluginsPath, share::pluginsPath);
    copy(self.protocolsPath, share::protocolsPath);
    copy(self.xmlClassesPath, share::xmlClassesPath);
    copy(self.xmlNodeTypesPath, share::xmlNodeTypesPath);
    copy(self.xmlDevBoardPath, share::xmlDevBoardPath);
    copy(self.xmlObservedBoard, share::xmlObservedBoard);
    copy(self.xmlUserListPath, share::m_sXmlUserListPath);
    copy(self.xmlUserListFile, share::m_sXmlUserListFile);
    copy(self.xmlHostGraphFile, share::xmlHostGraphFile);
    copy(self.docPath, share::docPath);
    copy(self.filesPath, share::filesPath);
    copy(self.soundPath, share::soundPath);
    copy(self.hostName, share::hostName);
    copy(self.hostNameEnc, share::hostNameEnc);
    copy(self.hostUrl, share::hostUrl);
    copy(self.hostType, share::hostType);
    copy(self.userType, share::userType);
    copy(self.hostPort, share::hostPort);
    copy(self.isPingUsing, share::isPingUsing);
    copy(self.isDebugMode, share::isDebugMode);
    copy(self.isSingleMode, share::isSingleMode);
    copy(self.isFullAccess, share::isFullAccess);
    copy(self.isSQLightUsing, share::isSQLightUsing);
    copy(self.isImportSettings, share::isImportSettings);
    copy(self.multiNodeAttrsKey, share::g_iMultiNodeAttrsKey);
    copy(self.classDb, share::classDb);
    copy(self.hostTypeDb, share::hostTypeDb);
    copy(self.hostGraph, share::hostGraph);
    copy(self.engineBox, share::engineBox);
    copy(self.protocolManager, share::protocolManager);
    copy(self.boardController, share::boardController);
    copy(self.pLog, share::pLog);
    copy(self.scriptEngine, share::scriptEngine);
}
} // namespace

ShareRestorer::ShareRestorer()
{
    eachGlobal(m_saved, [](auto& saved, const auto& global) { saved = global; });
}

ShareRestorer::~ShareRestorer()
{
    eachGlobal(m_saved, [](const auto& saved, auto& global) { global = saved; });
}
