#include "connections/i_terminal.h"

TerminalMessager::TerminalMessager(const int* sourceIndex, QObject* parent)
    : QObject(parent)
    , sourceIndex(sourceIndex)
{
}

TerminalMessager::~TerminalMessager() = default;

void TerminalMessager::sendMessage(const QString& sDestTerminalName, int iDestNodeAttrKey,
                                   int iMsgCode, const QString& sMsg)
{
    Q_EMIT signalMessage(sDestTerminalName, iDestNodeAttrKey, sourceIndex ? *sourceIndex : -1,
                         iMsgCode, sMsg);
}

void TerminalMessager::sendConfig(const QList<Action*>& actions)
{
    Q_EMIT signalConfigReady(actions);
}

ITerminal::ITerminal()
    : messager(new TerminalMessager(&terminalIndex))
{
}

ITerminal::~ITerminal()
{
    messager->sendMessage(QString(), destNodeAttrKey, ClosingMessageCode, QString());
    delete messager; // owned by the terminal, which is no QObject to parent it
}

void ITerminal::message(int, int, const QString&) { }

void ITerminal::querySaveConfig(Engine*)
{
    messager->sendConfig({});
}
