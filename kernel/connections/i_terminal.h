#pragma once

#include "tavo_kernel_export.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class Action;
class DeviceDb;
class Engine;

/**
 * The relay through which a terminal talks to the other terminals: text
 * messages, their answers, and the configuration it hands over on saving.
 * The client routes the signals; the library connects nothing to them.
 */
class TAVO_KERNEL_EXPORT TerminalMessager : public QObject
{
    Q_OBJECT

public:
    /// @p sourceIndex points at the owning terminal's index, read anew for
    /// every message, since terminals are renumbered as others close.
    explicit TerminalMessager(const int* sourceIndex, QObject* parent = nullptr);
    ~TerminalMessager() override;

    void sendMessage(const QString& sDestTerminalName, int iDestNodeAttrKey, int iMsgCode,
                     const QString& sMsg);
    void sendConfig(const QList<Action*>& actions);

    const int* sourceIndex;

Q_SIGNALS:
    void signalMessage(QString sDestTerminalName, int iDestNodeAttrKey, int iSrcTerminalIndex,
                       int iMsgCode, QString sMsg);
    void signalBackMessage(int iDestIndex, int iSrcTerminalIndex, int iMsgCode, QString sMsg);
    void signalConfigReady(QList<Action*> actions);

private:
    Q_DISABLE_COPY(TerminalMessager)
};

/**
 * The common base of the client's terminals (its working views of a host).
 * Destroying a terminal tells the others that it closes (message code 2).
 */
class TAVO_KERNEL_EXPORT ITerminal
{
public:
    /// The message code that announces a closing terminal.
    static constexpr int ClosingMessageCode = 2;

    ITerminal();
    virtual ~ITerminal();
    ITerminal(const ITerminal&) = delete;
    ITerminal& operator=(const ITerminal&) = delete;

    /// The terminal's name as other terminals address it.
    virtual QString getTerminalName() const = 0;
    /// Brings the terminal's view up to date with its host.
    virtual void refreshTerminal() = 0;
    /// A message for this terminal; ignored unless a terminal cares.
    virtual void message(int iSrcTerminalIndex, int iMsgCode, const QString& sMsg);
    /// Hands over what the terminal would save for @p engine; by default
    /// nothing.
    virtual void querySaveConfig(Engine* engine);

    /// The terminal's position among the client's terminals.
    int terminalIndex = -1;
    TerminalMessager* messager;
    /// Key of the host the terminal works on.
    int destNodeAttrKey = 0;
    QString terminalName;
    QString terminalTitle;
    QStringList deviceNames;
    QPointer<Engine> engine;
    QPointer<DeviceDb> deviceDb;
};
