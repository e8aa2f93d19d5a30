#pragma once

#include "foundation/tavo_global_namespace.h"
#include "tavo_kernel_export.h"

#include <QColor>
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
 * Process-wide state: resource paths, the connection settings of the command
 * line and the central objects that the client creates and publishes here.
 * The pointers are borrowed; the library never deletes what they point to.
 */
namespace share {

// Base paths, set from the command line.
TAVO_KERNEL_EXPORT extern QString applicationPath;
TAVO_KERNEL_EXPORT extern QString resourcesPath;
TAVO_KERNEL_EXPORT extern QString pluginsPath;
TAVO_KERNEL_EXPORT extern QString protocolsPath;

// Derived by global_init().
TAVO_KERNEL_EXPORT extern QString xmlClassesPath;
TAVO_KERNEL_EXPORT extern QString xmlNodeTypesPath;
TAVO_KERNEL_EXPORT extern QString xmlDevBoardPath;
TAVO_KERNEL_EXPORT extern QString xmlObservedBoard;
TAVO_KERNEL_EXPORT extern QString m_sXmlUserListPath;
TAVO_KERNEL_EXPORT extern QString m_sXmlUserListFile;
TAVO_KERNEL_EXPORT extern QString xmlHostGraphFile;
TAVO_KERNEL_EXPORT extern QString docPath;
TAVO_KERNEL_EXPORT extern QString filesPath;
TAVO_KERNEL_EXPORT extern QString soundPath;

// Connection settings of the command line.
TAVO_KERNEL_EXPORT extern QString hostName;
TAVO_KERNEL_EXPORT extern QString hostNameEnc;
TAVO_KERNEL_EXPORT extern QString hostUrl;
TAVO_KERNEL_EXPORT extern QString hostType;
TAVO_KERNEL_EXPORT extern QString userType;
TAVO_KERNEL_EXPORT extern qint32 hostPort;
TAVO_KERNEL_EXPORT extern bool isPingUsing;
TAVO_KERNEL_EXPORT extern bool isDebugMode;

// Client settings kept here for the client's own use.
TAVO_KERNEL_EXPORT extern bool isSingleMode;
TAVO_KERNEL_EXPORT extern bool isFullAccess;
TAVO_KERNEL_EXPORT extern bool isSQLightUsing;
TAVO_KERNEL_EXPORT extern bool isImportSettings;
TAVO_KERNEL_EXPORT extern qint32 g_iMultiNodeAttrsKey;

// Central objects, created and destroyed by the client.
TAVO_KERNEL_EXPORT extern ClassDb* classDb;
TAVO_KERNEL_EXPORT extern HostTypeDb* hostTypeDb;
TAVO_KERNEL_EXPORT extern HostGraph* hostGraph;
TAVO_KERNEL_EXPORT extern EngineBox* engineBox;
TAVO_KERNEL_EXPORT extern ProtocolManager* protocolManager;
TAVO_KERNEL_EXPORT extern BoardController* boardController;
TAVO_KERNEL_EXPORT extern AbstractLog* pLog;
TAVO_KERNEL_EXPORT extern QScriptEngine* scriptEngine;

TAVO_KERNEL_EXPORT QString alarmStateToStr(Tavo::AlarmType type);
TAVO_KERNEL_EXPORT QColor colorForAlarmType(Tavo::AlarmType type);
TAVO_KERNEL_EXPORT QString colorStrForAlarmType(Tavo::AlarmType type);

/// Path of a parameter file below filesPath; the name is not checked.
TAVO_KERNEL_EXPORT QString makeUpFileName(const char* name);
TAVO_KERNEL_EXPORT QString makeUpFileName(const QString& name);
TAVO_KERNEL_EXPORT bool deleteFile(const char* name);
/// Appends to a parameter file; a length of 0 means up to the terminator of data.
TAVO_KERNEL_EXPORT bool appendToFile(const char* name, const char* data, int length);

/// Derives every resource path from the base paths. Must run exactly once:
/// a second call would append "plugins" to pluginsPath again.
TAVO_KERNEL_EXPORT void global_init();
/// Reads the application's command line; may end the process after printing help().
TAVO_KERNEL_EXPORT void command_line_options();
/// Prints the usage text to standard output.
TAVO_KERNEL_EXPORT void help();
/// The usage text that help() prints.
TAVO_KERNEL_EXPORT QString helpText();

} // namespace share
