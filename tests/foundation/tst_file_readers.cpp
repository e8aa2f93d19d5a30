// The file readers against what hostile or unlucky files hold: nesting a
// million levels deep, broken encodings, prologs the reader does not know.

#include "alarms/sax_action_list_parser.h"
#include "board/boardcontroller.h"
#include "classes/class_db.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"
#include "hosttypes/host_type_db.h"
#include "kernel_fixture.h"
#include "templates/sax_template_parser.h"
#include "users/sax_user_list_parser.h"
#include "users/user_capabilities.h"

#include <QtTest>

#include <functional>

namespace {

constexpr int Levels = 1000000;

QByteArray nested(const QByteArray& root, const QByteArray& element)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + root + ">" +
        ('<' + element + '>').repeated(Levels) + ("</" + element + '>').repeated(Levels) + "</" +
        root + ">\n";
}

// Each reader, and whether the content of the files of the second test arrived.
using Loader = std::function<bool(const QString& path)>;

bool loadClasses(const QString& path)
{
    ClassDb db(nullptr);
    return db.loadFromFile(path) && db.deviceClasses.contains(QStringLiteral("E1"));
}

bool loadHostTypes(const QString& path)
{
    HostTypeDb db;
    return db.loadDb(path) && db.findHostType(QStringLiteral("mux"));
}

bool loadUsers(const QString& path)
{
    UserCapabilities target;
    return SaxUserListParser::readFile(path, &target) &&
        target.getUsersList().contains(QStringLiteral("engineer"));
}

} // namespace

Q_DECLARE_METATYPE(Loader)

class TstFileReaders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deepNestingStopsTheReaderWithAnError_data();
    void deepNestingStopsTheReaderWithAnError();
    void doubtfulTextIsReadWithAWarning_data();
    void doubtfulTextIsReadWithAWarning();
};

void TstFileReaders::deepNestingStopsTheReaderWithAnError_data()
{
    QTest::addColumn<QByteArray>("root");
    QTest::addColumn<QByteArray>("element");
    QTest::addColumn<Loader>("read");
    QTest::addColumn<bool>("pull"); // the readers that skip unknown content

    const Loader hostGraph = [](const QString& path) {
        return HostGraph(nullptr).loadFromFile(path);
    };
    const Loader actionList = [](const QString& path) {
        ActionListParser().readFile(path);
        return true;
    };
    const Loader templates = [](const QString& path) {
        QList<Action*> actions;
        const bool read = SaxTemplateParser().readFile(path, actions);
        qDeleteAll(actions);
        return read;
    };
    const Loader board = [](const QString& path) {
        BoardController(nullptr).loadFromFile(path);
        return true;
    };

    struct Row
    {
        const char* name;
        QByteArray root, known;
        Loader read;
        bool pull;
    };
    const Row rows[] = {
        {"class", "classlist", "class", loadClasses, false},
        {"host type", "nodetypelist", "nodetype", loadHostTypes, false},
        {"host graph", "hostgraph", "folder", hostGraph, false},
        {"users", "userslist", "user", loadUsers, false},
        {"action list", "actionlist", "new", actionList, true},
        {"template", "template", "action", templates, true},
        {"observed board", "observer_list", "observer", board, true},
    };
    for (const Row& row : rows) {
        QTest::addRow("%s, known element", row.name)
            << row.root << row.known << row.read << row.pull;
        QTest::addRow("%s, unknown element", row.name)
            << row.root << QByteArray("unknown") << row.read << row.pull;
    }
}

void TstFileReaders::deepNestingStopsTheReaderWithAnError()
{
    QFETCH(QByteArray, root);
    QFETCH(QByteArray, element);
    QFETCH(Loader, read);
    QFETCH(bool, pull);

    KernelFixture fx;
    share::isSingleMode = true; // the host graph reads no per-user file
    const QString path = fx.dir.writeFile(QStringLiteral("deep.xml"), nested(root, element));

    read(path);

    const QStringList errors = fx.log.errors();
    QVERIFY2(!errors.isEmpty(), "the reader must say that it gave up");
    QVERIFY2(errors.last().contains(path), qPrintable(errors.last()));
    if (pull) {
        QCOMPARE(errors.last(),
                 QStringLiteral("Failed to parse file %1: Elements nested deeper "
                                "than 256 levels")
                     .arg(path));
    }
}

void TstFileReaders::doubtfulTextIsReadWithAWarning_data()
{
    QTest::addColumn<QByteArray>("prolog");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<Loader>("load");
    QTest::addColumn<QString>("warning"); // %1: the file

    struct Format
    {
        const char* name;
        QByteArray body; // "@" stands where a problem may go
        Loader load;
    };
    const Format formats[] = {
        {"class",
         "<classlist>@<class name=\"E1\" interface=\"e1\"><param "
         "name=\"level\"/></class></classlist>",
         loadClasses},
        {"host type", "<nodetypelist>@<nodetype name=\"mux\" protocol=\"tavo\"/></nodetypelist>",
         loadHostTypes},
        {"users",
         "<userslist>@<user name=\"engineer\"><permission translation=\"W\">write</permission>"
         "</user></userslist>",
         loadUsers},
    };
    const QByteArray utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    for (const Format& format : formats) {
        QTest::addRow("%s, invalid UTF-8", format.name)
            << utf8 << QByteArray(format.body).replace("@", "<!-- caf\xe9 \xff -->") << format.load
            << QStringLiteral("File %1 is not valid UTF-8 text: 2 characters are replaced");
        QTest::addRow("%s, unknown encoding", format.name)
            << QByteArray("<?xml version=\"1.0\" encoding=\"x-klingon\"?>\n")
            << QByteArray(format.body).replace("@", "") << format.load
            << QStringLiteral("File %1 names the unknown encoding 'x-klingon'");
        QTest::addRow("%s, XML 1.1", format.name)
            << QByteArray("<?xml version=\"1.1\" encoding=\"UTF-8\"?>\n")
            << QByteArray(format.body).replace("@", "") << format.load
            << QStringLiteral("File %1 declares XML version '1.1'; it is read as XML 1.0");
    }
}

void TstFileReaders::doubtfulTextIsReadWithAWarning()
{
    QFETCH(QByteArray, prolog);
    QFETCH(QByteArray, body);
    QFETCH(Loader, load);
    QFETCH(QString, warning);

    KernelFixture fx;
    const QString path = fx.dir.writeFile(QStringLiteral("doubtful.xml"), prolog + body);
    fx.log.clear();

    QVERIFY2(load(path), qPrintable(fx.log.errors().join(QLatin1Char('\n'))));
    QCOMPARE(fx.log.warnings(), QStringList(warning.arg(path)));
}

QTEST_GUILESS_MAIN(TstFileReaders)
#include "tst_file_readers.moc"
