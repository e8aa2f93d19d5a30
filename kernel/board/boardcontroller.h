#pragma once

#include "tavo_kernel_export.h"

#include <QCoreApplication>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

/**
 * The observed board: for each watched host (by its url), the devices the
 * operator expects it to carry. Follows the hosts' connections and, from
 * 2 s after a connection on, reports every expected device as present or
 * missing whenever the host's device set changes.
 */
class TAVO_KERNEL_EXPORT BoardController : public QObject
{
    Q_OBJECT

public:
    struct DevNameList
    {
        /// True while the host is not watched: after loading, after a
        /// disconnection and for 2 s after a connection.
        bool suspended = true;
        QStringList devices;
    };

    /// Loads the board directory and follows the hosts whose engines exist.
    explicit BoardController(QObject* parent);
    ~BoardController() override;

    void loadDir(const QString& dir);
    void loadFromFile(const QString& path);
    void chechDevice(const QString& hostName);

    QMap<QString, DevNameList> board;

Q_SIGNALS:
    void boardChaneged(QString hostName, bool ok, QString devName = QString());

public Q_SLOTS:
    void engineAppended(QString hostName, QString typeName = QString());
    void engineAppended(int key);
    void connectToHost(int index);
    void disconnectFromHost(int index);
    void deviceAppended(QString sClassName, int iTag, int iBaseTag);
    void deviceDeleted(QString sDevName);
    void assignSignals(const QString& hostName);

private:
    void follow(QObject* engine);
    void checkSender();

    Q_DISABLE_COPY(BoardController)
};

/// Calls one operation of a board controller with a text, once, then goes.
class TAVO_KERNEL_EXPORT ObjectSlotFunctor : public QObject
{
    Q_OBJECT

public:
    using Operation = void (BoardController::*)(const QString&);

    ObjectSlotFunctor(BoardController* controller, Operation operation, const QString& argument);
    ~ObjectSlotFunctor() override;

public Q_SLOTS:
    void singleSlot();

private:
    // Guarded: the controller may be gone when the delay is over.
    QPointer<BoardController> m_controller;
    Operation m_operation;
    QString m_argument;
};

/// Reads one observed board file into its controller's board.
class TAVO_KERNEL_EXPORT ObservedBoardParser
{
    Q_DECLARE_TR_FUNCTIONS(ObservedBoardParser)

public:
    explicit ObservedBoardParser(BoardController* controller);

    bool readFile(const QString& path);
    void readRootElement();
    void readObserverElement(QStringList& hosts, QStringList& devices);
    QString readHostElement();
    QStringList readDeviceListElement();
    QString readDeviceElement();

private:
    BoardController* m_controller;
    QXmlStreamReader m_reader;
};
