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
    void messagesCarryTheIndexOfTheirMomentAndTheLastTellsTheClosing();
    void defaultSaveHandsOverAnEmptyConfiguration();
};

void TstTerminal::messagesCarryTheIndexOfTheirMomentAndTheLastTellsTheClosing()
{
    auto* terminal = new PlainTerminal;
    terminal->destNodeAttrKey = 7;
    // The record must outlive the messenger that the terminal deletes.
    QList<QVariantList> messages;
    QObject relay;
    QObject::connect(terminal->messager, &TerminalMessager::signalMessage, &relay,
                     [&messages](QString name, int key, int index, int code, QString text) {
                         messages << QVariantList {name, key, index, code, text};
                     });
    terminal->terminalIndex = 1;
    terminal->messager->sendMessage(QStringLiteral("editor"), 5, 10, QStringLiteral("hello"));
    terminal->terminalIndex = 0; // renumbered after another terminal closed
    terminal->messager->sendMessage(QStringLiteral("editor"), 5, 11, QString());
    delete terminal;
    QCOMPARE(messages,
             QList<QVariantList>({{"editor", 5, 1, 10, "hello"},
                                  {"editor", 5, 0, 11, QString()},
                                  {QString(), 7, 0, ITerminal::ClosingMessageCode, QString()}}));
}

void TstTerminal::defaultSaveHandsOverAnEmptyConfiguration()
{
    PlainTerminal terminal;
    QSignalSpy spy(terminal.messager, &TerminalMessager::signalConfigReady);
    terminal.querySaveConfig(nullptr);
    QCOMPARE(spy.count(), 1);
    QVERIFY(spy.first().first().value<QList<Action*>>().isEmpty());
}

QTEST_GUILESS_MAIN(TstTerminal)
#include "tst_terminal.moc"
