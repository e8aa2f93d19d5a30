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
    const QStringList lines = run.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals > 0) {
            run.values.insert(line.left(equals), line.mid(equals + 1));
        }
    }
    return run;
}

QString probeDir()
{
    return QFileInfo(probePath).absolutePath();
}

} // namespace

class TstAppShared : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Must stay first: nothing may have touched the globals before it.
    void globalsStartWithTheirInitialValues();

    void alarmTypeHasTextAndColours_data();
    void alarmTypeHasTextAndColours();
    void globalInitDerivesEveryPathFromTheBasePaths();
    void fileNamesAreMadeUpBelowFilesPath();
    void appendToFileAppendsAndCreates();
    void appendToFileRefusesNothingToWriteAndUnwritablePaths();
    void deleteFileRemovesOnlyExistingFiles();

    void commandLineSetsGlobals_data();
    void commandLineSetsGlobals();
    void commandLineWithoutOptionsUsesExecutableDirectory();
    void helpEndsTheProcess_data();
    void helpEndsTheProcess();
    void helpTextHasItsLayout();
};

void TstAppShared::globalsStartWithTheirInitialValues()
{
    QCOMPARE(share::applicationPath, QStringLiteral("."));
    QCOMPARE(share::resourcesPath, QStringLiteral("."));
    QCOMPARE(share::pluginsPath, QStringLiteral("."));
    QCOMPARE(share::protocolsPath, QStringLiteral("."));
    for (const QString* empty :
         {&share::xmlClassesPath, &share::xmlNodeTypesPath, &share::xmlDevBoardPath,
          &share::xmlObservedBoard, &share::m_sXmlUserListPath, &share::m_sXmlUserListFile,
          &share::xmlHostGraphFile, &share::docPath, &share::filesPath, &share::soundPath,
          &share::hostName, &share::hostNameEnc, &share::hostUrl, &share::hostType,
          &share::userType}) {
        QVERIFY(empty->isEmpty());
    }
    QCOMPARE(share::hostPort, -1);
    QCOMPARE(static_cast<quint32>(share::hostPort), 0xFFFFFFFFu);
    QVERIFY(share::isPingUsing);
    QVERIFY(!share::isDebugMode);
    QVERIFY(!share::isSingleMode);
    QVERIFY(!share::isFullAccess);
    QVERIFY(!share::isSQLightUsing);
    QVERIFY(!share::isImportSettings);
    QCOMPARE(share::g_iMultiNodeAttrsKey, -1);
    QVERIFY(!share::classDb);
    QVERIFY(!share::hostTypeDb);
    QVERIFY(!share::hostGraph);
    QVERIFY(!share::engineBox);
    QVERIFY(!share::protocolManager);
    QVERIFY(!share::boardController);
    QVERIFY(!share::pLog);
    QVERIFY(!share::scriptEngine);
}

void TstAppShared::alarmTypeHasTextAndColours_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("colourText");

    QTest::newRow("belowRange") << -2 << "NORM" << QColor(0, 0, 0, 255) << "#000000";
    QTest::newRow("NORM") << -1 << "NORM" << QColor(0, 0, 0, 255) << "#000000";
    QTest::newRow("EMERG") << 0 << "EMERG" << QColor(64, 0, 0, 255) << "#400000";
    QTest::newRow("ALERT") << 1 << "ALERT" << QColor(128, 0, 0, 255) << "#800000";
    QTest::newRow("CRIT") << 2 << "CRIT" << QColor(192, 0, 0, 255) << "#C00000";
    QTest::newRow("ERR") << 3 << "ERR" << QColor(255, 0, 0, 255) << "#FF0000";
    QTest::newRow("WARNING") << 4 << "WARNING" << QColor(255, 128, 0, 255) << "#FF8000";
    QTest::newRow("NOTICE") << 5 << "NOTICE" << QColor(255, 255, 0, 255) << "#FFFF00";
    QTest::newRow("INFO") << 6 << "INFO" << QColor(0, 255, 255, 255) << "#00FFFF";
    QTest::newRow("DEBUG") << 7 << "DEBUG" << QColor(128, 128, 128, 255) << "#808080";
    QTest::newRow("aboveRange") << 8 << "NORM" << QColor(0, 0, 0, 255) << "#000000";
    QTest::newRow("farAbove") << 1000 << "NORM" << QColor(0, 0, 0, 255) << "#000000";
}

void TstAppShared::alarmTypeHasTextAndColours()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(QColor, colour);
    QFETCH(QString, colourText);

    const auto alarm = static_cast<Tavo::AlarmType>(type);
    QCOMPARE(share::alarmStateToStr(alarm), text);
    QCOMPARE(share::colorForAlarmType(alarm), colour);
    QCOMPARE(share::colorForAlarmType(alarm).alpha(), 255);
    QCOMPARE(share::colorStrForAlarmType(alarm), colourText);
}

void TstAppShared::globalInitDerivesEveryPathFromTheBasePaths()
{
    ShareRestorer restorer;
    share::applicationPath = QStringLiteral("/app");
    share::resourcesPath = QStringLiteral("/res");
    share::pluginsPath = QStringLiteral("/plug");
    share::protocolsPath = QStringLiteral("/ignored");

    share::global_init();

    QCOMPARE(share::xmlClassesPath, QStringLiteral("/res/xml_classes"));
    QCOMPARE(share::xmlNodeTypesPath, QStringLiteral("/res/xml_nodetypes"));
    QCOMPARE(share::xmlDevBoardPath, QStringLiteral("/res/xml_devicebox"));
    QCOMPARE(share::xmlObservedBoard, QStringLiteral("/res/xml_observed_board"));
    QCOMPARE(share::soundPath, QStringLiteral("/res/sounds/"));
    QCOMPARE(share::xmlHostGraphFile, QStringLiteral("host_graph.xml"));
    QCOMPARE(share::m_sXmlUserListPath, QStringLiteral("/res/xml_users"));
    QCOMPARE(share::m_sXmlUserListFile, QStringLiteral("users.xml"));
    QCOMPARE(share::docPath, QStringLiteral("/res/doc"));
    // Protocols come from the plug-in directory as it was before global_init moved it.
    QCOMPARE(share::protocolsPath, QStringLiteral("/plug/protocols"));
    QCOMPARE(share::pluginsPath,
             QStringLiteral("/plug") + QDir::separator() + QStringLiteral("plugins"));
    QCOMPARE(share::filesPath, QStringLiteral("/app/files"));
    // The base paths themselves stay.
    QCOMPARE(share::applicationPath, QStringLiteral("/app"));
    QCOMPARE(share::resourcesPath, QStringLiteral("/res"));
}

void TstAppShared::fileNamesAreMadeUpBelowFilesPath()
{
    ShareRestorer restorer;
    share::filesPath = QStringLiteral("/data/files");
    QCOMPARE(share::makeUpFileName("a.bin"), QStringLiteral("/data/files/a.bin"));
    QCOMPARE(share::makeUpFileName(QStringLiteral("../x")), QStringLiteral("/data/files/../x"));
    QCOMPARE(share::makeUpFileName(QString()), QStringLiteral("/data/files/"));
}

void TstAppShared::appendToFileAppendsAndCreates()
{
    ShareRestorer restorer;
    ResourceDir dir;
    QVERIFY(dir.isValid());
    share::filesPath = dir.path();

    QVERIFY(share::appendToFile("log.bin", "abc", 0));
    const char bytes[] = {'d', '\0', 'e', 'f'};
    // An explicit length writes zero bytes too.
    QVERIFY(share::appendToFile("log.bin", bytes, 3));

    QFile file(dir.filePath(QStringLiteral("log.bin")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("abcd\0e", 6));
}

void TstAppShared::appendToFileRefusesNothingToWriteAndUnwritablePaths()
{
    ShareRestorer restorer;
    ResourceDir dir;
    QVERIFY(dir.isValid());
    share::filesPath = dir.path();

    QVERIFY(!share::appendToFile("empty.bin", "", 0));
    QVERIFY(!share::appendToFile("null.bin", nullptr, 0));
    QVERIFY(!share::appendToFile("negative.bin", "abc", -1));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());

    share::filesPath = dir.filePath(QStringLiteral("missing/folder"));
    QVERIFY(!share::appendToFile("x.bin", "abc", 0));
}

void TstAppShared::deleteFileRemovesOnlyExistingFiles()
{
    ShareRestorer restorer;
    ResourceDir dir;
    QVERIFY(dir.isValid());
    share::filesPath = dir.path();
    QVERIFY(!dir.writeFile(QStringLiteral("victim.bin"), "1").isEmpty());

    QVERIFY(share::deleteFile("victim.bin"));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("victim.bin"))));
    QVERIFY(!share::deleteFile("victim.bin"));
}

void TstAppShared::commandLineSetsGlobals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Values>("expected");

    auto values = [](std::initializer_list<std::pair<const char*, QString>> list) {
        Values v;
        for (const auto& item : list) {
            v.insert(QString::fromLatin1(item.first), item.second);
        }
        return v;
    };

    QTest::newRow("nameLosesQuotes")
        << QStringList {"-cpt", "'Main node'"} << values({{"hostName", "Main node"}});
    QTest::newRow("nameLosesInnerQuotes")
        << QStringList {"-cpt", "a\"b'c"} << values({{"hostName", "abc"}});
    QTest::newRow("urlKeepsQuotes")
        << QStringList {"-s", "'10.0.0.1'"} << values({{"hostUrl", "'10.0.0.1'"}});
    QTest::newRow("port") << QStringList {"-pt", "4001"} << values({{"hostPort", "4001"}});
    QTest::newRow("portWithNonDigit") << QStringList {"-pt", "40x1"} << values({{"hostPort", "0"}});
    QTest::newRow("portNotGiven") << QStringList {"-s", "host"} << values({{"hostPort", "-1"}});
    QTest::newRow("typeAndUser") << QStringList {"-type", "lumen", "-user", "admin"}
                                 << values({{"hostType", "lumen"}, {"userType", "admin"}});
    QTest::newRow("valueLastHasNoEffect")
        << QStringList {"-s", "h", "-type"} << values({{"hostUrl", "h"}, {"hostType", ""}});
    QTest::newRow("laterValueWins")
        << QStringList {"-s", "a", "-s", "b"} << values({{"hostUrl", "b"}});
    QTest::newRow("strayArgumentIgnored")
        << QStringList {"stray", "-s", "h", "more"} << values({{"hostUrl", "h"}});
    QTest::newRow("flags") << QStringList {"--noping", "--debug"}
                           << values({{"isPingUsing", "0"}, {"isDebugMode", "1"}});
    QTest::newRow("flagsAreCaseSensitive") << QStringList {"--NOPING", "--Debug", "--debug=1"}
                                           << values({{"isPingUsing", "1"}, {"isDebugMode", "0"}});
    QTest::newRow("resdir") << QStringList {"--resdir='/srv/res'"}
                            << values({{"resourcesPath", "/srv/res"},
                                       {"xmlClassesPath", "/srv/res/xml_classes"},
                                       {"soundPath", "/srv/res/sounds/"},
                                       {"docPath", "/srv/res/doc"}});
    QTest::newRow("resdirPrefixTwice")
        << QStringList {"--resdir=/a/--resdir=b"} << values({{"resourcesPath", "/a/b"}});
    QTest::newRow("resdirOnlyQuotes")
        << QStringList {"--resdir=\"\""} << values({{"resourcesPath", probeDir()}});
    QTest::newRow("plugdirMovesProtocolsAndPlugins")
        << QStringList {"--plugdir=\"/opt/p\""}
        << values({{"protocolsPath", "/opt/p/protocols"},
                   {"pluginsPath", "/opt/p" + QString(QDir::separator()) + "plugins"},
                   {"resourcesPath", probeDir()}});
    QTest::newRow("unknownEncodingLeavesName")
        << QStringList {"-cpt", "abc", "-enc", "no-such-codec"}
        << values({{"hostName", "abc"}, {"hostNameEnc", "no-such-codec"}});
    // U+00C3 U+00A9 are the bytes C3 A9 in Latin-1, which UTF-8 reads as U+00E9.
    QTest::newRow("encodingDecodesName")
        << QStringList {"-cpt", QString::fromUtf8("\xc3\x83\xc2\xa9"), "-enc", "UTF-8"}
        << values({{"hostName", QString(QChar(0x00E9))}});
    QTest::newRow("encodingBeforeNameStillDecodes")
        << QStringList {"-enc", "ISO-8859-5", "-cpt", QString(QChar(0x00E9))}
        << values({{"hostName", QString(QChar(0x0449))}});
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

void TstAppShared::commandLineWithoutOptionsUsesExecutableDirectory()
{
    const ProbeRun run = runProbe({});
    QCOMPARE(run.exitCode, 0);
    const QString dir = probeDir();
    QCOMPARE(run.values.value(QStringLiteral("applicationPath")), dir);
    QCOMPARE(run.values.value(QStringLiteral("resourcesPath")), dir);
    QCOMPARE(run.values.value(QStringLiteral("protocolsPath")), dir + QStringLiteral("/protocols"));
    QCOMPARE(run.values.value(QStringLiteral("pluginsPath")),
             dir + QDir::separator() + QStringLiteral("plugins"));
    QCOMPARE(run.values.value(QStringLiteral("filesPath")), dir + QStringLiteral("/files"));
    QCOMPARE(run.values.value(QStringLiteral("hostPort")), QStringLiteral("-1"));
    QCOMPARE(run.values.value(QStringLiteral("isPingUsing")), QStringLiteral("1"));
    QCOMPARE(run.values.value(QStringLiteral("hostName")), QString());
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
    for (int blank : {2, 4, 10, 18}) {
        QVERIFY2(lines.at(blank).isEmpty(), qPrintable(QString::number(blank)));
    }
    // Every option description lines up in one column.
    for (int i : {6, 7, 8, 9, 12, 13, 14, 15, 16, 17, 20}) {
        QCOMPARE(lines.at(i).indexOf(QLatin1String("= ")), 32);
    }
}

QTEST_GUILESS_MAIN(TstAppShared)
#include "tst_app_shared.moc"
