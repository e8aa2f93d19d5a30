#include "kernel_fixture.h"
#include "users/sax_user_list_parser.h"
#include "users/user_capabilities.h"

#include <QSignalSpy>
#include <QtTest>

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
#include <QXmlInputSource>
#include <QXmlSimpleReader>

namespace {

const QString usersFile = "users.xml";

// Reads @p xml as the client reads its users file.
bool readUsers(UserCapabilities* target, const QByteArray& xml)
{
    SaxUserListParser parser(usersFile, target);
    QXmlSimpleReader reader;
    reader.setContentHandler(&parser);
    reader.setErrorHandler(&parser);
    QXmlInputSource source;
    source.setData(xml);
    return reader.parse(&source, false);
}

const QByteArray twoUsers = R"(<?xml version="1.0"?>
<userslist>
  <user name="operator">
    <permission translation="Write parameters"> write </permission>
    <permission translation="Open terminal">terminal</permission>
  </user>
  <user name="viewer">
    <permission translation="Open terminal">terminal</permission>
    <permission translation="Read files">files</permission>
  </user>
</userslist>)";

// "current|default|listed users|known names|capabilities of the current user" of @p users.
QString state(const UserCapabilities& users)
{
    QStringList granted;
    for (const char* permission : {"write", "Write", "terminal", "files", "anything"}) {
        if (users.checkForCapability(QLatin1String(permission)))
            granted << QLatin1String(permission);
    }
    return QStringList({users.currentUser, users.defaultUser, users.getUsersList().join(','),
                        QStringList(users.userNames.keys()).join(','), granted.join(',')})
        .join('|');
}

} // namespace

class TstUserCapabilities : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void undefinedUserIsCurrentAfterReadingAndOnlyKnownUsersFollow();
    void capabilitiesListsMergeForTheAdministratorUntilCleared();
    void defaultUserDecidesTheUserAfterReading();
    void refusedFileKeepsWhatWasRead_data();
    void refusedFileKeepsWhatWasRead();
};

void TstUserCapabilities::undefinedUserIsCurrentAfterReadingAndOnlyKnownUsersFollow()
{
    KernelFixture fx;
    UserCapabilities users;
    QCOMPARE(state(users), QStringLiteral("|--Undefined--||Administrator|"));

    QSignalSpy changed(&users, &UserCapabilities::signalChangeCurrentUser);
    QVERIFY(readUsers(&users, twoUsers));
    QCOMPARE(fx.log.messages(),
             QStringList {QStringLiteral("Parsing for 'users.xml' is done successfull")});
    QCOMPARE(state(users),
             QStringLiteral("--Undefined--|--Undefined--|operator,viewer|"
                            "Administrator,operator,viewer|"));
    QCOMPARE(changed.count(), 0);

    QVERIFY(users.setCurrentUser("operator"));
    QVERIFY(users.setCurrentUser("operator"));
    QVERIFY(!users.setCurrentUser("intruder"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(state(users),
             QStringLiteral("operator|--Undefined--|operator,viewer|"
                            "Administrator,operator,viewer|write,terminal"));
    QVERIFY(users.setCurrentUser("--Undefined--"));
    QCOMPARE(changed.count(), 2);
    QVERIFY(!users.checkForCapability("write"));

    // The administrator may do everything and is not listed; appending to
    // him or to an unknown user changes nothing.
    QVERIFY(users.setCurrentUser("Administrator"));
    users.append("Administrator", {"x", "X"});
    users.append("nobody", {"x", "X"});
    QCOMPARE(state(users),
             QStringLiteral("Administrator|--Undefined--|operator,viewer|"
                            "Administrator,operator,viewer|write,Write,terminal,files,anything"));

    // A file's own user of that name is listed, but gets no permission.
    UserCapabilities fromFile;
    QVERIFY(readUsers(&fromFile, R"(<userslist><user name="Administrator">
        <permission translation="T">terminal</permission></user></userslist>)"));
    QCOMPARE(fromFile.getUsersList(), QStringList {QStringLiteral("Administrator")});
    QVERIFY(fromFile.capabilities.value("Administrator").isEmpty());
}

void TstUserCapabilities::capabilitiesListsMergeForTheAdministratorUntilCleared()
{
    KernelFixture fx;
    UserCapabilities users;
    QVERIFY(readUsers(&users, twoUsers));
    users.append("viewer", {"t2", "Open terminal"});
    QStringList out {"Read files"};
    users.getCapabilitiesList("Administrator", out);
    users.getCapabilitiesList("viewer", out);
    users.getCapabilitiesList("--Undefined--", out);
    QCOMPARE(out,
             QStringList({"Read files", "Write parameters", "Open terminal", "Open terminal",
                          "Read files", "Open terminal"}));

    users.setCurrentUser("viewer");
    users.clear(); // the names stay
    QCOMPARE(state(users), QStringLiteral("|||Administrator,operator,viewer|"));
}

void TstUserCapabilities::defaultUserDecidesTheUserAfterReading()
{
    KernelFixture fx;
    UserCapabilities users;
    QVERIFY(readUsers(&users, twoUsers));
    QVERIFY(users.setDefaultUser("viewer"));
    QVERIFY(!users.setDefaultUser("intruder"));
    QVERIFY(readUsers(&users, twoUsers)); // a second reading adds to the object
    QCOMPARE(state(users),
             QStringLiteral("viewer|viewer|operator,viewer|"
                            "Administrator,operator,viewer|terminal,files"));

    QVERIFY(users.setDefaultUser("Administrator"));
    QVERIFY(readUsers(&users, twoUsers));
    QCOMPARE(state(users), QStringLiteral("||operator,viewer|Administrator,operator,viewer|"));
}

void TstUserCapabilities::refusedFileKeepsWhatWasRead_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("users");

    // A row's name is the message it expects.
    auto row = [](const QByteArray& xml, const char* message, const QStringList& users) {
        QTest::newRow(message) << xml << QString(message) << users;
    };
    row("<userslist><user name=\"a\"><permission translation=\"P\">p</permission>"
        "<permission translation=\"Q\">  \n </permission></user></userslist>",
        "'permission' tag has empty value for user 'a' in 'users.xml'", {"a"});
    row("<user name=\"a\"/>", "Unexpected tag 'user' in file 'users.xml'", {});
    row("<userslist><permission>p</permission></userslist>",
        "Unexpected tag 'permission' in file 'users.xml'", {});
    row("<userslist><user name=\"a\"/><group/></userslist>",
        "Unknown tag 'group' in file 'users.xml'", {"a"});
}

void TstUserCapabilities::refusedFileKeepsWhatWasRead()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, message);
    QFETCH(QStringList, users);

    KernelFixture fx;
    UserCapabilities target;
    QVERIFY(!readUsers(&target, xml));
    QCOMPARE(fx.log.errors().first(), message);
    QVERIFY(fx.log.errors().last().startsWith("Error ["));
    QVERIFY(fx.log.errors().last().endsWith("(file users.xml)"));
    QCOMPARE(target.getUsersList(), users);
    QCOMPARE(target.currentUser, QString()); // the reading never ended

    fx.log.clear();
    SaxUserListParser parser(usersFile, nullptr);
    QVERIFY(!parser.startDocument());
    QCOMPARE(fx.log.errors(),
             QStringList {QStringLiteral("User Capabilities object is not set for parsing")});
}

QT_WARNING_POP

QTEST_GUILESS_MAIN(TstUserCapabilities)
#include "tst_user_capabilities.moc"
