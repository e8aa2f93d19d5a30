#include "resource_dir.h"
#include "share_restorer.h"

#include "foundation/app_shared.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

using Values = QMap<QString, QString>;
Q_DECLARE_METATYPE(Values)

namespace {

const QString probePath = QStringLiteral(CMDLINE_PROBE);

struct ProbeRun
{
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QString output;
    Values values;
};

ProbeRun runProbe(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(probePath, arguments);
    ProbeRun run;
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitCode();
    run.exitStatus = process.exitStatus();
    run.output = QString::fromUtf8(process.readAllStandardOutput());
    for (const QString& line : run.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            run.values.insert(line.left(equals), line.mid(equals + 1));
    }
    return run;
}

QString probeDir()
{
    return QFileInfo(probePath).absolutePath();
}

QString pluginsBelow(const QString& base)
{
    return base + QDir::separator() + QStringLiteral("plugins");
}

} // namespace

class TstAppShared : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Must stay first: nothing may have touched the globals before it.
    void globalsStartWithTheirInitialValues();

    void alarmTypeHasTextAndColours();
    void globalInitDerivesEveryPathFromTheBasePaths();
    void parameterFilesAreAppendedAndDeletedBelowFilesPath();

    void commandLineSetsGlobals_data();
    void commandLineSetsGlobals();
    void helpEndsTheProcess_data();
    void helpEndsTheProcess();
    void helpTextHasItsLayout();
};

void TstAppShared::globalsStartWithTheirInitialValues()
{
    for (const QString* base : {&share::applicationPath, &share::resourcesPath, &share::pluginsPath,
                                &share::protocolsPath})
        QCOMPARE(*base, QStringLiteral("."));
    for (const QString* empty :
         {&share::xmlClassesPath, &share::xmlNodeTypesPath, &share::xmlDevBoardPath,
          &share::xmlObservedBoard, &share::m_sXmlUserListPath, &share::m_sXmlUserListFile,
          &share::xmlHostGraphFile, &share::docPath, &share::filesPath, &share::soundPath,
          &share::hostName, &share::hostNameEnc, &share::hostUrl, &share::hostType,
          &share::userType})
        QVERIFY(empty->isEmpty());
    QCOMPARE(static_cast<quint32>(share::hostPort), 0xFFFFFFFFu);
    QCOMPARE(share::g_iMultiNodeAttrsKey, -1);
    QVERIFY(share::isPingUsing);
    for (bool off : {share::isDebugMode, share::isSingleMode, share::isFullAccess,
                     share::isSQLightUsing, share::isImportSettings})
        QVERIFY(!off);
    for (const void* object : std::initializer_list<const void*> {
             share::classDb, share::hostTypeDb, share::hostGraph, share::engineBox,
             share::protocolManager, share::boardController, share::pLog, share::scriptEngine})
        QVERIFY(!object);
}

void TstAppShared::alarmTypeHasTextAndColours()
{
    const struct
    {
        int type;
        const char* text;
        const char* colour;
    } rows[] = {
        {-2, "NORM", "#000000"},   {-1, "NORM", "#000000"},  {0, "EMERG", "#400000"},
        {1, "ALERT", "#800000"},   {2, "CRIT", "#C00000"},   {3, "ERR", "#FF0000"},
        {4, "WARNING", "#FF8000"}, {5, "NOTICE", "#FFFF00"}, {6, "INFO", "#00FFFF"},
        {7, "DEBUG", "#808080"},   {8, "NORM", "#000000"},
    };
    for (const auto& row : rows) {
        const auto alarm = static_cast<Tavo::AlarmType>(row.type);
        QCOMPARE(share::alarmStateToStr(alarm), QLatin1String(row.text));
        QCOMPARE(share::colorStrForAlarmType(alarm), QLatin1String(row.colour));
        QCOMPARE(share::colorForAlarmType(alarm), QColor(row.colour));
        QCOMPARE(share::colorForAlarmType(alarm).alpha(), 255);
    }
}

void TstAppShared::globalInitDerivesEveryPathFromTheBasePaths()
{
    ShareRestorer restorer;
    share::applicationPath = QStringLiteral("/app");
    share::resourcesPath = QStringLiteral("/res");
    share::pluginsPath = QStringLiteral("/plug");
    share::protocolsPath = QStringLiteral("/ignored");

    share::global_init();

    const QList<QPair<const QString*, QString>> expected {
        {&share::xmlClassesPath, "/res/xml_classes"},
        {&share::xmlNodeTypesPath, "/res/xml_nodetypes"},
        {&share::xmlDevBoardPath, "/res/xml_devicebox"},
        {&share::xmlObservedBoard, "/res/xml_observed_board"},
        {&share::soundPath, "/res/sounds/"},
        {&share::xmlHostGraphFile, "host_graph.xml"},
        {&share::m_sXmlUserListPath, "/res/xml_users"},
        {&share::m_sXmlUserListFile, "users.xml"},
        {&share::docPath, "/res/doc"},
        // Protocols come from the plug-in directory as it was before global_init moved it.
        {&share::protocolsPath, "/plug/protocols"},
        {&share::pluginsPath, pluginsBelow("/plug")},
        {&share::filesPath, "/app/files"},
        {&share::applicationPath, "/app"},
        {&share::resourcesPath, "/res"},
    };
    for (const auto& path : expected)
        QCOMPARE(*path.first, path.second);
}

void TstAppShared::parameterFilesAreAppendedAndDeletedBelowFilesPath()
{
    ShareRestorer restorer;
    share::filesPath = QStringLiteral("/data/files");
    QCOMPARE(share::makeUpFileName("a.bin"), QStringLiteral("/data/files/a.bin"));
    QCOMPARE(share::makeUpFileName(QStringLiteral("../x")), QStringLiteral("/data/files/../x"));
    QCOMPARE(share::makeUpFileName(QString()), QStringLiteral("/data/files/"));

    ResourceDir dir;
    QVERIFY(dir.isValid());
    share::filesPath = dir.path();
    QVERIFY(!share::appendToFile("empty.bin", "", 0));
    QVERIFY(!share::appendToFile("null.bin", nullptr, 0));
    QVERIFY(!share::appendToFile("negative.bin", "abc", -1));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());

    QVERIFY(share::appendToFile("log.bin", "abc", 0));
    // An explicit length writes zero bytes too.
    QVERIFY(share::appendToFile("log.bin", "d\0ef", 3));
    QFile file(dir.filePath(QStringLiteral("log.bin")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("abcd\0e", 6));

    QVERIFY(share::deleteFile("log.bin"));
    QVERIFY(!QFileInfo::exists(file.fileName()));
    QVERIFY(!share::deleteFile("log.bin"));

    share::filesPath = dir.filePath(QStringLiteral("missing/folder"));
    QVERIFY(!share::appendToFile("x.bin", "abc", 0));
}

void TstAppShared::commandLineSetsGlobals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Values>("expected");

    const QString dir = probeDir();
    QTest::newRow("noOptionsUseTheExecutableDirectory")
        << QStringList()
        << Values {{"applicationPath", dir},
                   {"resourcesPath", dir},
                   {"protocolsPath", dir + "/protocols"},
                   {"pluginsPath", pluginsBelow(dir)},
                   {"filesPath", dir + "/files"},
                   {"hostPort", "-1"},
                   {"isPingUsing", "1"},
                   {"hostName", ""}};
    QTest::newRow("nameLosesQuotes")
        << QStringList {"-cpt", "'Main node'"} << Values {{"hostName", "Main node"}};
    QTest::newRow("nameLosesInnerQuotes")
        << QStringList {"-cpt", "a\"b'c"} << Values {{"hostName", "abc"}};
    QTest::newRow("urlKeepsQuotes")
        << QStringList {"-s", "'10.0.0.1'"} << Values {{"hostUrl", "'10.0.0.1'"}};
    QTest::newRow("port") << QStringList {"-pt", "4001"} << Values {{"hostPort", "4001"}};
    QTest::newRow("portWithNonDigit") << QStringList {"-pt", "40x1"} << Values {{"hostPort", "0"}};
    QTest::newRow("typeAndUser") << QStringList {"-type", "lumen", "-user", "admin"}
                                 << Values {{"hostType", "lumen"}, {"userType", "admin"}};
    QTest::newRow("valueLastHasNoEffect")
        << QStringList {"-s", "h", "-type"} << Values {{"hostUrl", "h"}, {"hostType", ""}};
    QTest::newRow("laterValueWins")
        << QStringList {"-s", "a", "-s", "b"} << Values {{"hostUrl", "b"}};
    QTest::newRow("strayArgumentIgnored")
        << QStringList {"stray", "-s", "h", "more"} << Values {{"hostUrl", "h"}};
    QTest::newRow("flags") << QStringList {"--noping", "--debug"}
                           << Values {{"isPingUsing", "0"}, {"isDebugMode", "1"}};
    QTest::newRow("flagsAreCaseSensitive") << QStringList {"--NOPING", "--Debug", "--debug=1"}
                                           << Values {{"isPingUsing", "1"}, {"isDebugMode", "0"}};
    QTest::newRow("resdir") << QStringList {"--resdir='/srv/res'"}
                            << Values {{"resourcesPath", "/srv/res"},
                                       {"xmlClassesPath", "/srv/res/xml_classes"},
                                       {"soundPath", "/srv/res/sounds/"},
                                       {"docPath", "/srv/res/doc"}};
    QTest::newRow("resdirPrefixTwice")
        << QStringList {"--resdir=/a/--resdir=b"} << Values {{"resourcesPath", "/a/b"}};
    QTest::newRow("resdirOnlyQuotes")
        << QStringList {"--resdir=\"\""} << Values {{"resourcesPath", dir}};
    QTest::newRow("plugdirMovesProtocolsAndPlugins")
        << QStringList {"--plugdir=\"/opt/p\""}
        << Values {{"protocolsPath", "/opt/p/protocols"},
                   {"pluginsPath", pluginsBelow("/opt/p")},
                   {"resourcesPath", dir}};
    QTest::newRow("unknownEncodingLeavesName")
        << QStringList {"-cpt", "abc", "-enc", "no-such-codec"}
        << Values {{"hostName", "abc"}, {"hostNameEnc", "no-such-codec"}};
    // U+00C3 U+00A9 are the bytes C3 A9 in Latin-1, which UTF-8 reads as U+00E9.
    QTest::newRow("encodingDecodesName")
        << QStringList {"-cpt", QString::fromUtf8("\xc3\x83\xc2\xa9"), "-enc", "UTF-8"}
        << Values {{"hostName", QString(QChar(0x00E9))}};
    QTest::newRow("encodingBeforeNameStillDecodes")
        << QStringList {"-enc", "ISO-8859-5", "-cpt", QString(QChar(0x00E9))}
        << Values {{"hostName", QString(QChar(0x0449))}};
}

void TstAppShared::commandLineSetsGlobals()
{
    QFETCH(QStringList, arguments);
    QFETCH(Values, expected);

    const ProbeRun run = runProbe(arguments);
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 0);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        QVERIFY2(run.values.contains(it.key()), qPrintable(it.key()));
        QCOMPARE(run.values.value(it.key()), it.value());
    }
}

void TstAppShared::helpEndsTheProcess_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("help") << QStringList {"--help"};
    QTest::newRow("helpAfterOptions") << QStringList {"-s", "h", "--debug", "--help", "-pt", "1"};
    QTest::newRow("nameFollowedByOption") << QStringList {"-cpt", "-s"};
    QTest::newRow("portFollowedByFlag") << QStringList {"-pt", "--debug"};
    QTest::newRow("valueIsDash") << QStringList {"-type", "-"};
    QTest::newRow("valueIsNegativeNumber") << QStringList {"-pt", "-1"};
}

void TstAppShared::helpEndsTheProcess()
{
    QFETCH(QStringList, arguments);

    const ProbeRun run = runProbe(arguments);
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 0);
    // The process ends before the probe prints any global.
    QCOMPARE(run.output, share::helpText());
}

void TstAppShared::helpTextHasItsLayout()
{
    const QStringList lines = share::helpText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 22); // 21 lines, each ended by a line feed
    QVERIFY(lines.last().isEmpty());
    QVERIFY(!lines.at(0).isEmpty());
    QCOMPARE(lines.at(1), QStringLiteral("Usage"));
    QCOMPARE(lines.at(3), QStringLiteral("  tavo-client [options] [connection info]"));
    QCOMPARE(lines.at(5), QStringLiteral("Options"));
    QCOMPARE(lines.at(11), QStringLiteral("Connection info"));
    QCOMPARE(lines.at(19), QStringLiteral("Help"));
    for (int blank : {2, 4, 10, 18})
        QVERIFY2(lines.at(blank).isEmpty(), qPrintable(QString::number(blank)));
    // Every option description lines up in one column.
    for (int i : {6, 7, 8, 9, 12, 13, 14, 15, 16, 17, 20})
        QCOMPARE(lines.at(i).indexOf(QLatin1String("= ")), 32);
}

QTEST_GUILESS_MAIN(TstAppShared)
#include "tst_app_shared.moc"
