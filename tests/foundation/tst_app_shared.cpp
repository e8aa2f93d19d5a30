#include "resource_dir.h"
#include "share_restorer.h"

#include "foundation/app_shared.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

namespace {

const QString probePath = QStringLiteral(CMDLINE_PROBE);

struct ProbeRun
{
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QString output;
    QMap<QString, QString> values;
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

} // namespace

class TstAppShared : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void alarmTypeHasTextAndColours();
    void parameterFilesAreAppendedAndDeletedBelowFilesPath();

    void commandLineSetsGlobals_data();
    void commandLineSetsGlobals();
    void helpEndsTheProcess_data();
    void helpEndsTheProcess();
    void helpTextHasItsLayout();
};

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
    QTest::addColumn<QString>("expected"); // "name=value" lines; @: the probe's directory

    QTest::newRow("noOptionsUseTheExecutableDirectory")
        << QStringList()
        << "applicationPath=@\nresourcesPath=@\nprotocolsPath=@/protocols\npluginsPath=@/plugins\n"
           "filesPath=@/files\nhostPort=-1\nhostName=\nhostNameEnc=\nhostUrl=\nhostType=\n"
           "userType=\nisPingUsing=1\nisDebugMode=0\nisSingleMode=0\nisFullAccess=0\n"
           "isSQLightUsing=0\nisImportSettings=0\nmultiNodeAttrsKey=-1";
    QTest::newRow("nameLosesQuotes") << QStringList {"-cpt", "'Main node'"} << "hostName=Main node";
    QTest::newRow("nameLosesInnerQuotes") << QStringList {"-cpt", "a\"b'c"} << "hostName=abc";
    QTest::newRow("urlKeepsQuotes") << QStringList {"-s", "'10.0.0.1'"} << "hostUrl='10.0.0.1'";
    QTest::newRow("port") << QStringList {"-pt", "4001"} << "hostPort=4001";
    QTest::newRow("portWithNonDigit") << QStringList {"-pt", "40x1"} << "hostPort=0";
    QTest::newRow("typeAndUser") << QStringList {"-type", "lumen", "-user", "admin"}
                                 << "hostType=lumen\nuserType=admin";
    QTest::newRow("valueLastHasNoEffect")
        << QStringList {"-s", "h", "-type"} << "hostUrl=h\nhostType=";
    QTest::newRow("laterValueWins") << QStringList {"-s", "a", "-s", "b"} << "hostUrl=b";
    QTest::newRow("strayArgumentIgnored")
        << QStringList {"stray", "-s", "h", "more"} << "hostUrl=h";
    QTest::newRow("flags") << QStringList {"--noping", "--debug"} << "isPingUsing=0\nisDebugMode=1";
    QTest::newRow("flagsAreCaseSensitive")
        << QStringList {"--NOPING", "--Debug", "--debug=1"} << "isPingUsing=1\nisDebugMode=0";
    // Protocols come from the plug-in directory as it was before it moved one level down.
    QTest::newRow("resdirAndPlugdirPlaceEveryPath")
        << QStringList {"--resdir='/res'", "--plugdir=/plug"}
        << "resourcesPath=/res\nxmlClassesPath=/res/xml_classes\nxmlNodeTypesPath=/res/"
           "xml_nodetypes\n"
           "xmlDevBoardPath=/res/xml_devicebox\nxmlObservedBoard=/res/xml_observed_board\n"
           "soundPath=/res/sounds/\nxmlHostGraphFile=host_graph.xml\n"
           "m_sXmlUserListPath=/res/xml_users\nm_sXmlUserListFile=users.xml\ndocPath=/res/doc\n"
           "protocolsPath=/plug/protocols\npluginsPath=/plug/plugins\nfilesPath=@/files\n"
           "applicationPath=@";
    QTest::newRow("resdirPrefixTwice")
        << QStringList {"--resdir=/a/--resdir=b"} << "resourcesPath=/a/b";
    QTest::newRow("resdirOnlyQuotes") << QStringList {"--resdir=\"\""} << "resourcesPath=@";
    QTest::newRow("plugdirMovesProtocolsAndPlugins")
        << QStringList {"--plugdir=\"/opt/p\""}
        << "protocolsPath=/opt/p/protocols\npluginsPath=/opt/p/plugins\nresourcesPath=@";
    QTest::newRow("unknownEncodingLeavesName")
        << QStringList {"-cpt", "abc", "-enc", "no-such-codec"}
        << "hostName=abc\nhostNameEnc=no-such-codec";
    // U+00C3 U+00A9 are the bytes C3 A9 in Latin-1, which UTF-8 reads as U+00E9.
    QTest::newRow("encodingDecodesName")
        << QStringList {"-cpt", QString::fromUtf8("\xc3\x83\xc2\xa9"), "-enc", "UTF-8"}
        << "hostName=" + QString(QChar(0x00E9));
    QTest::newRow("encodingBeforeNameStillDecodes")
        << QStringList {"-enc", "ISO-8859-5", "-cpt", QString(QChar(0x00E9))}
        << "hostName=" + QString(QChar(0x0449));
}

void TstAppShared::commandLineSetsGlobals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);

    const ProbeRun run = runProbe(arguments);
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 0);
    const QStringList lines =
        expected.replace('@', QFileInfo(probePath).absolutePath()).split('\n');
    QStringList printed;
    for (const QString& line : lines)
        printed << line.section('=', 0, 0) + '=' +
                run.values.value(line.section('=', 0, 0), "<none>");
    QCOMPARE(printed, lines);
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
