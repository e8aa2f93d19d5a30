#include "connections/i_terminal.h"
#include "templates/sax_template_parser.h"

#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(QList<Action*>)

namespace {

class PlainTerminal : public ITerminal
{
public:
    QString getTerminalName() const override { return QStringLiteral("plain"); }
    void refreshTerminal() override { }
};

} // namespace

class TstTerminal : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<QList<Action*>>(); }
    void closingTerminalTellsTheOthers();
    void messagesCarryTheIndexOfTheirMoment();
    void defaultSaveHandsOverAnEmptyConfiguration();
};

void TstTerminal::closingTerminalTellsTheOthers()
{
    auto* terminal = new PlainTerminal;
    terminal->destNodeAttrKey = 7;
    terminal->terminalIndex = 3;
    // The spy must outlive the messenger that the terminal deletes.
    QObject relay;
    QObject::connect(terminal->messager, &TerminalMessager::signalMessage, &relay,
                     [&relay](QString name, int key, int index, int code, QString text) {
                         relay.setProperty("closing", QVariantList {name, key, index, code, text});
                     });
    delete terminal;
    QCOMPARE(relay.property("closing").toList(),
             QVariantList({QString(), 7, 3, ITerminal::ClosingMessageCode, QString()}));
}

void TstTerminal::messagesCarryTheIndexOfTheirMoment()
{
    PlainTerminal terminal;
    QSignalSpy spy(terminal.messager, &TerminalMessager::signalMessage);
    terminal.terminalIndex = 1;
    terminal.messager->sendMessage(QStringLiteral("editor"), 5, 10, QStringLiteral("hello"));
    terminal.terminalIndex = 0; // renumbered after another terminal closed
    terminal.messager->sendMessage(QStringLiteral("editor"), 5, 11, QString());
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0),
             QVariantList({QStringLiteral("editor"), 5, 1, 10, QStringLiteral("hello")}));
    QCOMPARE(spy.at(1).at(2).toInt(), 0);
    terminal.message(1, 10, QStringLiteral("ignored by default"));
}

void TstTerminal::defaultSaveHandsOverAnEmptyConfiguration()
{
    PlainTerminal terminal;
    QSignalSpy spy(terminal.messager, &TerminalMessager::signalConfigReady);
    terminal.querySaveConfig(nullptr);
    QCOMPARE(spy.count(), 1);
    QVERIFY(spy.first().first().value<QList<Action*>>().isEmpty());

    Action action;
    terminal.messager->sendConfig({&action});
    QCOMPARE(spy.last().first().value<QList<Action*>>(), QList<Action*> {&action});
}

QTEST_GUILESS_MAIN(TstTerminal)
#include "tst_terminal.moc"
