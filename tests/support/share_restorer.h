#pragma once

#include <QString>

class AbstractLog;
class BoardController;
class ClassDb;
class EngineBox;
class HostGraph;
class HostTypeDb;
class ProtocolManager;
class QScriptEngine;

/**
 * Takes a copy of every share global on construction and puts it back on
 * destruction, so that a test may change paths, settings and the published
 * objects without leaking them into the next test.
 */
class ShareRestorer
{
public:
    ShareRestorer();
    ~ShareRestorer();
    ShareRestorer(const ShareRestorer&) = delete;
    ShareRestorer& operator=(const ShareRestorer&) = delete;

    /// The saved values; public so that one list serves both directions.
    struct Values
    {
        QString applicationPath, resourcesPath, pluginsPath, protocolsPath;
        QString xmlClassesPath, xmlNodeTypesPath, xmlDevBoardPath, xmlObservedBoard;
        QString xmlUserListPath, xmlUserListFile, xmlHostGraphFile, docPath, filesPath, soundPath;
        QString hostName, hostNameEnc, hostUrl, hostType, userType;
        qint32 hostPort;
        bool isPingUsing, isDebugMode, isSingleMode, isFullAccess, isSQLightUsing, isImportSettings;
        qint32 multiNodeAttrsKey;
        ClassDb* classDb;
        HostTypeDb* hostTypeDb;
        HostGraph* hostGraph;
        EngineBox* engineBox;
        ProtocolManager* protocolManager;
        BoardController* boardController;
        AbstractLog* pLog;
        QScriptEngine* scriptEngine;
    };

private:
    Values m_saved;
};
