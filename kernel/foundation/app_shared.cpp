#include "foundation/app_shared.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextCodec>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace share {

QString applicationPath = QStringLiteral(".");
QString resourcesPath = QStringLiteral(".");
QString pluginsPath = QStringLiteral(".");
QString protocolsPath = QStringLiteral(".");

QString xmlClassesPath;
QString xmlNodeTypesPath;
QString xmlDevBoardPath;
QString xmlObservedBoard;
QString m_sXmlUserListPath;
QString m_sXmlUserListFile;
QString xmlHostGraphFile;
QString docPath;
QString filesPath;
QString soundPath;

QString hostName;
QString hostNameEnc;
QString hostUrl;
QString hostType;
QString userType;
qint32 hostPort = -1;
bool isPingUsing = true;
bool isDebugMode = false;

bool isSingleMode = false;
bool isFullAccess = false;
bool isSQLightUsing = false;
bool isImportSettings = false;
qint32 g_iMultiNodeAttrsKey = -1;

ClassDb* classDb = nullptr;
HostTypeDb* hostTypeDb = nullptr;
HostGraph* hostGraph = nullptr;
EngineBox* engineBox = nullptr;
ProtocolManager* protocolManager = nullptr;
BoardController* boardController = nullptr;
AbstractLog* pLog = nullptr;
QScriptEngine* scriptEngine = nullptr;

namespace {

struct AlarmLook
{
    const char* text;
    QRgb rgb;
    const char* colorText;
};

// Indexed by severity + 1, so that NORM (-1) is the first entry.
const AlarmLook alarmLooks[] = {
    {"NORM", qRgba(0, 0, 0, 255), "#000000"},
    {"EMERG", qRgba(64, 0, 0, 255), "#400000"},
    {"ALERT", qRgba(128, 0, 0, 255), "#800000"},
    {"CRIT", qRgba(192, 0, 0, 255), "#C00000"},
    {"ERR", qRgba(255, 0, 0, 255), "#FF0000"},
    {"WARNING", qRgba(255, 128, 0, 255), "#FF8000"},
    {"NOTICE", qRgba(255, 255, 0, 255), "#FFFF00"},
    {"INFO", qRgba(0, 255, 255, 255), "#00FFFF"},
    {"DEBUG", qRgba(128, 128, 128, 255), "#808080"},
};

const AlarmLook& alarmLook(Tavo::AlarmType type)
{
    const int value = static_cast<int>(type);
    if (value < Tavo::NORM || value > Tavo::DEBUG) {
        return alarmLooks[0];
    }
    return alarmLooks[value + 1];
}

QString joined(const QString& base, const QString& name)
{
    return QStringLiteral("%1/%2").arg(base, name);
}

QString withoutQuotes(QString text)
{
    text.remove(QLatin1Char('"'));
    text.remove(QLatin1Char('\''));
    return text;
}

// Text of a directory option such as --resdir=: every occurrence of the
// prefix goes, then the quotes a shell may have left in place.
QString directoryOptionValue(QString argument, const QString& prefix)
{
    argument.remove(prefix);
    return withoutQuotes(argument);
}

enum class Pending { None, HostName, HostUrl, HostPort, HostType, HostNameEnc, UserType };

[[noreturn]] void helpAndExit()
{
    help();
    std::exit(0);
}

} // namespace

QString alarmStateToStr(Tavo::AlarmType type)
{
    return QString::fromLatin1(alarmLook(type).text);
}

QColor colorForAlarmType(Tavo::AlarmType type)
{
    return QColor::fromRgba(alarmLook(type).rgb);
}

QString colorStrForAlarmType(Tavo::AlarmType type)
{
    return QString::fromLatin1(alarmLook(type).colorText);
}

QString makeUpFileName(const char* name)
{
    return makeUpFileName(QString::fromLocal8Bit(name));
}

QString makeUpFileName(const QString& name)
{
    return joined(filesPath, name);
}

bool deleteFile(const char* name)
{
    const QString path = makeUpFileName(name);
    if (path.isEmpty()) {
        return false;
    }
    return QFile::remove(path);
}

bool appendToFile(const char* name, const char* data, int length)
{
    if (length == 0 && data) {
        length = static_cast<int>(std::strlen(data));
    }
    if (length <= 0) {
        return false;
    }
    const QString path = makeUpFileName(name);
    if (path.isEmpty()) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return false;
    }
    file.write(data, length);
    file.close();
    return true;
}

void global_init()
{
    xmlClassesPath = joined(resourcesPath, QStringLiteral("xml_classes"));
    xmlNodeTypesPath = joined(resourcesPath, QStringLiteral("xml_nodetypes"));
    xmlDevBoardPath = joined(resourcesPath, QStringLiteral("xml_devicebox"));
    xmlObservedBoard = joined(resourcesPath, QStringLiteral("xml_observed_board"));
    soundPath = QStringLiteral("%1/%2/").arg(resourcesPath, QStringLiteral("sounds"));
    xmlHostGraphFile = QStringLiteral("host_graph.xml");
    m_sXmlUserListPath = joined(resourcesPath, QStringLiteral("xml_users"));
    m_sXmlUserListFile = QStringLiteral("users.xml");
    docPath = joined(resourcesPath, QStringLiteral("doc"));
    // Protocols are taken from the plug-in directory before it is moved one
    // level down to its "plugins" folder.
    protocolsPath = joined(pluginsPath, QStringLiteral("protocols"));
    pluginsPath = pluginsPath + QDir::separator() + QStringLiteral("plugins");
    filesPath = joined(applicationPath, QStringLiteral("files"));
}

void command_line_options()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    applicationPath = appDir;
    resourcesPath = appDir;
    pluginsPath = appDir;
    protocolsPath = appDir;

    const QString resdirPrefix = QStringLiteral("--resdir=");
    const QString plugdirPrefix = QStringLiteral("--plugdir=");

    Pending pending = Pending::None;
    const QStringList arguments = QCoreApplication::arguments();
    for (const QString& argument : arguments) {
        if (pending != Pending::None) {
            // A value that looks like an option means the command line is
            // wrong; the user gets the usage text rather than a guess.
            if (argument.startsWith(QLatin1Char('-'))) {
                helpAndExit();
            }
            switch (pending) {
            case Pending::HostName:
                hostName = withoutQuotes(argument);
                break;
            case Pending::HostUrl:
                hostUrl = argument;
                break;
            case Pending::HostPort: {
                bool ok = false;
                const uint port = argument.toUInt(&ok, 10);
                hostPort = ok ? static_cast<qint32>(port) : 0;
                break;
            }
            case Pending::HostType:
                hostType = argument;
                break;
            case Pending::HostNameEnc:
                hostNameEnc = argument;
                break;
            case Pending::UserType:
                userType = argument;
                break;
            case Pending::None:
                break;
            }
            pending = Pending::None;
        }

        if (argument == QLatin1String("-cpt")) {
            pending = Pending::HostName;
        } else if (argument == QLatin1String("-s")) {
            pending = Pending::HostUrl;
        } else if (argument == QLatin1String("-pt")) {
            pending = Pending::HostPort;
        } else if (argument == QLatin1String("-type")) {
            pending = Pending::HostType;
        } else if (argument == QLatin1String("-enc")) {
            pending = Pending::HostNameEnc;
        } else if (argument == QLatin1String("-user")) {
            pending = Pending::UserType;
        } else if (argument == QLatin1String("--noping")) {
            isPingUsing = false;
        } else if (argument.startsWith(resdirPrefix)) {
            const QString path = directoryOptionValue(argument, resdirPrefix);
            if (!path.isEmpty()) {
                resourcesPath = path;
            }
        } else if (argument.startsWith(plugdirPrefix)) {
            const QString path = directoryOptionValue(argument, plugdirPrefix);
            if (!path.isEmpty()) {
                pluginsPath = path;
            }
        } else if (argument == QLatin1String("--debug")) {
            isDebugMode = true;
        } else if (argument == QLatin1String("--help")) {
            helpAndExit();
        }
    }

    if (!hostNameEnc.isEmpty()) {
        if (QTextCodec* codec = QTextCodec::codecForName(hostNameEnc.toLatin1())) {
            hostName = codec->toUnicode(hostName.toLatin1());
        }
    }
}

QString helpText()
{
    static const char* const lines[] = {
        "tavo-client: monitoring and configuration of network elements",
        "Usage",
        "",
        "  tavo-client [options] [connection info]",
        "",
        "Options",
        "  --noping                      = Disabled ping connection point",
        "  --resdir=<path-to-xml-dir>    = Path to user resources (XML files, Images, ...)",
        "  --plugdir=<path-to-plugins>   = Path to plugins and protocols",
        "  --debug                       = Start in debug mode",
        "",
        "Connection info",
        "  -s                            = URL",
        "  -cpt <host-name>              = Name",
        "  -enc <encoding>               = Encoding for the name",
        "  -pt                           = Port number",
        "  -type                         = Host type (pyx16, lumen, orca-24, ...)",
        "  -user <type>                  = User type",
        "",
        "Help",
        "  --help                        = Print usage information and exit",
    };
    QString text;
    for (const char* line : lines) {
        text += QLatin1String(line);
        text += QLatin1Char('\n');
    }
    return text;
}

void help()
{
    const QByteArray text = helpText().toLocal8Bit();
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
    std::fflush(stdout);
}

} // namespace share
