#include "alarms/sax_action_list_parser.h"
#include "classes/class_db.h"
#include "classes/device_class.h"
#include "foundation/app_shared.h"
#include "kernel_fixture.h"

#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

namespace {

using Group = QList<AlarmAction>;

QList<Group> groupsOf(const char* deviceClass, const char* param, Tavo::AlarmType state)
{
    return share::classDb->deviceClasses.value(QLatin1String(deviceClass))
        ->paramClasses.value(QLatin1String(param))
        ->alarmActions.values(state);
}

/// A class E1 with the parameters los and ais.
struct ParserFixture : KernelFixture
{
    ParserFixture()
    {
        writeClassFile(QStringLiteral("e1.xml"),
                       "<class name=\"E1\" interface=\"i\"><param "
                       "name=\"los\"/><param name=\"ais\"/></class>");
        loadClasses();
        log.clear();
    }
    /// Reads @p content as an action list; returns the file's path.
    QString read(const QByteArray& content) const
    {
        const QString path = dir.writeFile(QStringLiteral("actions.xml"), content);
        ActionListParser().readFile(path);
        return path;
    }
};

const QByteArray soundOnErr =
    "<new><events_or><event to=\"3\" device=\"E1\" param=\"los\"/></events_or>"
    "<actions_and><action type=\"sound\"/></actions_and></new>";

} // namespace

class TstActionListParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void fileLivesInTheUsersSettingsDirectory();
    void everyEventGetsTheWholeGroupLaterGroupsFirst();
    void refusedFileLogsItsMessage_data();
    void refusedFileLogsItsMessage();

private:
    QTemporaryDir m_settings;
};

void TstActionListParser::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
}

void TstActionListParser::fileLivesInTheUsersSettingsDirectory()
{
    QCOMPARE(ActionListParser::actionListPath(),
             m_settings.filePath(QStringLiteral("tavo-client/tavo_action_list.xml.ini")));

    // Read from there when no file is named.
    ParserFixture fx;
    ActionListParser().readFile();
    QCOMPARE(fx.log.errors(),
             QStringList {QStringLiteral("Cannot read file %1: No such file or directory.")
                              .arg(ActionListParser::actionListPath())});
}

void TstActionListParser::everyEventGetsTheWholeGroupLaterGroupsFirst()
{
    ParserFixture fx;
    // The third group's odd events and actions are dropped, its others kept.
    fx.read(R"(<?xml version="1.0"?>
<actionlist>
  <comment>whatever <b>is</b> here</comment>
  <new>
    <actions_and><action type="terminal"/><action type="email" address="noc@example.org" text="LOS!"/></actions_and>
    <events_or><event to="2" device="E1" param="los"/><event to="4" device="E1" param="ais"/></events_or>
    <actions_and><action type="sms" address="+100" text="los"/></actions_and>
  </new>
  <new><events_or><event to="2" device="E1" param="los"/></events_or><actions_and><action type="sound"/></actions_and></new>
  <new>
    <events_or>
      <event device="E1" param="los"/>
      <event to="12" device="E1" param="los"/>
      <event to="x" device="E1" param="ais">text <inner/> inside</event>
      <event to="-1" device="E9" param="los"/>
      <event to="-1" device="E1" param="los"/>
    </events_or>
    <actions_and><action type="Terminal"/><action/><action type="sound"><x/></action></actions_and>
    <unknown><deeper><deepest/></deeper></unknown>
  </new>
</actionlist>)");
    QCOMPARE(fx.log.errors(), QStringList());

    const Group all {AlarmAction(AlarmAction::Terminal, {}, {}),
                     AlarmAction(AlarmAction::Email, "noc@example.org", "LOS!"),
                     AlarmAction(AlarmAction::Sms, "+100", "los")};
    const Group sound {AlarmAction(AlarmAction::Sound, {}, {})};
    QCOMPARE(groupsOf("E1", "los", Tavo::CRIT), (QList<Group> {sound, all}));
    QCOMPARE(groupsOf("E1", "ais", Tavo::WARNING), QList<Group> {all});
    QCOMPARE(groupsOf("E1", "ais", Tavo::EMERG), QList<Group> {sound}); // "x" reads as 0
    QCOMPARE(groupsOf("E1", "los", Tavo::NORM), QList<Group> {sound});
    QCOMPARE(
        share::classDb->deviceClasses.value("E1")->paramClasses.value("los")->alarmActions.size(),
        3);
}

void TstActionListParser::refusedFileLogsItsMessage_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("groupsKept");
    QTest::newRow("wrong-root") << QByteArray("<hostgraph/>") << "Not a actionlist file" << 0;
    QTest::newRow("truncated")
        << QByteArray("<actionlist>" + soundOnErr +
                      "<new><events_or><event to=\"3\" device=\"E1\" param=\"los\"/>")
        << "" << 1;
}

void TstActionListParser::refusedFileLogsItsMessage()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    QFETCH(int, groupsKept);
    ParserFixture fx;
    const QString path = fx.read(content);
    QCOMPARE(fx.log.errors().size(), 1);
    const QString prefix = QStringLiteral("Failed to parse file %1: ").arg(path);
    QVERIFY2(fx.log.errors().first().startsWith(prefix), qPrintable(fx.log.errors().first()));
    if (!reason.isEmpty())
        QCOMPARE(fx.log.errors().first(), prefix + reason);
    QCOMPARE(groupsOf("E1", "los", Tavo::ERR).size(), groupsKept);
}

QTEST_GUILESS_MAIN(TstActionListParser)
#include "tst_action_list_parser.moc"
