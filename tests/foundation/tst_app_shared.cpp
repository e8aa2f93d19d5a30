#include "resource_dir.h"
#include "share_restorer.h"

#include "foundation/app_shared.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

namespace {

const QString probePath = QStringLiteral(CMDLINE_PROBE);

} // namespace

class TstAppShared : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void alarmTypeHasTextAndColours();
    void parameterFilesAreAppendedAndDeletedBelowFilesPath();

    void commandLineSetsGlobalsOrEndsWithTheUsage_data();
    void commandLineSetsGlobalsOrEndsWithTheUsage();
    void helpTextHasItsLayout();
};

void TstAppShared::alarmTypeHasTextAndColours()
{
    QStringList looks;
    for (int type = -2; type <= 8; ++type) {
        const auto alarm = static_cast<Tavo::AlarmType>(type);
        QCOMPARE(share::colorForAlarmType(alarm), QColor(share::colorStrForAlarmType(alarm)));
        looks << share::alarmStateToStr(alarm) + QLatin1Char(' ') +
                share::colorStrForAlarmType(alarm);
    }
    QCOMPARE(looks,
             QStringList({"NORM #000000", "NORM #000000", "EMERG #400000", "ALERT #800000",
                          "CRIT #C00000", "ERR #FF0000", "WARNING #FF8000", "NOTICE #FFFF00",
                          "INFO #00FFFF", "DEBUG #808080", "NORM #000000"}));
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

void TstAppShared::commandLineSetsGlobalsOrEndsWithTheUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    // "name=value" lines, @ standing for the probe's directory; empty: the usage
    // text alone, the process ending before the probe prints any global.
    QTest::addColumn<QString>("expected");

    QTest::newRow("noOptionsUseTheExecutableDirectory")
        << QStringList()
        << "applicationPath=@\nresourcesPath=@\nprotocolsPath=@/protocols\npluginsPath=@/plugins\n"
           "filesPath=@/files\nhostPort=-1\nhostName=\nhostNameEnc=\nhostUrl=\nhostType=\n"
           "userType=\nisPingUsing=1\nisDebugMode=0\nisSingleMode=0\nisFullAccess=0\n"
           "isSQLightUsing=0\nisImportSettings=0\nmultiNodeAttrsKey=-1";
    QTest::newRow("nameLosesInnerQuotes") << QStringList {"-cpt", "a\"b'c"} << "hostName=abc";
    QTest::newRow("urlKeepsQuotes") << QStringList {"-s", "'10.0.0.1'"} << "hostUrl='10.0.0.1'";
    QTest::newRow("port") << QStringList {"-pt", "4001"} << "hostPort=4001";
    QTest::newRow("portWithNonDigit") << QStringList {"-pt", "40x1"} << "hostPort=0";
    QTest::newRow("typeAndUser") << QStringList {"-type", "lumen", "-user", "admin"}
                                 << "hostType=lumen\nuserType=admin";
    QTest::newRow("valueLastHasNoEffect")
        << QStringList {"-s", "h", "-type"} << "hostUrl=h\nhostType=";
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
    QTest::newRow("unknownEncodingLeavesName")
        << QStringList {"-cpt", "abc", "-enc", "no-such-codec"}
        << "hostName=abc\nhostNameEnc=no-such-codec";
    QTest::newRow("encodingBeforeNameStillDecodes")
        << QStringList {"-enc", "ISO-8859-5", "-cpt", QString(QChar(0x00E9))}
        << "hostName=" + QString(QChar(0x0449));
    QTest::newRow("help") << QStringList {"--help"} << QString();
    QTest::newRow("helpAfterOptions")
        << QStringList {"-s", "h", "--debug", "--help", "-pt", "1"} << QString();
    // A value that looks like an option.
    QTest::newRow("valueIsDash") << QStringList {"-type", "-"} << QString();
    QTest::newRow("valueIsNegativeNumber") << QStringList {"-pt", "-1"} << QString();
}

void TstAppShared::commandLineSetsGlobalsOrEndsWithTheUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);

    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    probe.setProcessEnvironment(environment);
    probe.start(probePath, arguments);
    QVERIFY(probe.waitForFinished(10000));
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(probe.exitCode(), 0);
    const QString output = QString::fromUtf8(probe.readAllStandardOutput());
    if (expected.isEmpty()) {
        QCOMPARE(output, share::helpText());
        return;
    }
    QMap<QString, QString> values;
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        values.insert(line.section('=', 0, 0), line.section('=', 1));
    const QStringList lines =
        expected.replace('@', QFileInfo(probePath).absolutePath()).split('\n');
    QStringList printed;
    for (const QString& line : lines)
        printed << line.section('=', 0, 0) + '=' + values.value(line.section('=', 0, 0), "<none>");
    QCOMPARE(printed, lines);
}

void TstAppShared::helpTextHasItsLayout()
{
    // Every line as it is but the options', shown as "=" when their
    // description starts in the one column that all share.
    QStringList shape;
    for (const QString& line : share::helpText().split(QLatin1Char('\n')))
        shape << (line.indexOf(QLatin1String("= ")) == 32 ? QStringLiteral("=") : line);
    QCOMPARE(shape.join(QLatin1Char('|')),
             QStringLiteral("tavo-client: monitoring and configuration of network elements|Usage||"
                            "  tavo-client [options] [connection info]||Options|=|=|=|=||"
                            "Connection info|=|=|=|=|=|=||Help|=|"));
}

QTEST_GUILESS_MAIN(TstAppShared)
#include "tst_app_shared.moc"
