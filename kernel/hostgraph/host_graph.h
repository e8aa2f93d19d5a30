#pragma once

#include "tavo_kernel_export.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

/**
 * An item of the host graph: a folder or a host. Keys are unique across the
 * graph; an item refers to its folder by key, and a key that names no folder
 * puts it at the top level.
 */
class TAVO_KERNEL_EXPORT GraphItem : public QObject
{
    Q_OBJECT

public:
    GraphItem(int key, int parentKey, const QString& alias, QObject* parent);
    ~GraphItem() override;

    int key() const { return m_key; }
    int parentKey() const { return m_parentKey; }
    QString alias() const { return m_alias; }

protected:
    int m_key;
    int m_parentKey;
    QString m_alias;

private:
    Q_DISABLE_COPY(GraphItem)
};

/// A folder of hosts and further folders.
class TAVO_KERNEL_EXPORT FolderItem : public GraphItem
{
    Q_OBJECT

public:
    FolderItem(int key, int parentKey, const QString& alias, QObject* parent);
    ~FolderItem() override;
};

/// A folder that stands for a device box described by a configuration file.
class TAVO_KERNEL_EXPORT BoxDeviceItem : public FolderItem
{
    Q_OBJECT

public:
    BoxDeviceItem(int key, int parentKey, const QString& alias, QObject* parent,
                  const QString& configFile);
    ~BoxDeviceItem() override;

    QString configFile;
};

/**
 * A host: what it takes to reach one network element. Its custom variables
 * are always exactly those of its protocol, starting at their defaults.
 */
class TAVO_KERNEL_EXPORT NodeAttr : public GraphItem
{
    Q_OBJECT

public:
    NodeAttr(int key, int parentKey, const QString& alias, const QString& hostTypeName,
             const QString& url, const QString& protocolName, unsigned short port, QObject* parent);
    ~NodeAttr() override;

    QString url() const { return m_url; }
    unsigned short port() const { return m_port; }
    QString protocolName() const { return m_protocolName; }
    QString hostTypeName() const { return m_hostTypeName; }
    QMap<QString, QString> customVars() const { return m_customVars; }
    /// "url#port": how the engine registry tells connections apart.
    QString getConnectString() const;

    /// A new name replaces the variables by the new protocol's defaults.
    void setProtocolName(const QString& name);
    /// False, and nothing set, for a name the protocol does not define.
    bool setCustomVarValue(const QString& name, const QString& value);
    void setDescription(const QString& text) { description = text; }

    QString description;
    /// 0, 1 or 2 as the host graph file stores it; the library never reads it.
    qint32 autoconnect = 0;
    /// Position of the host's engine in the engine registry, -1 without one.
    qint32 engineIndex = -1;

Q_SIGNALS:
    void signalProtocolNameChanged(QString sProtocolName);
    /// For users of the class; the library never emits it.
    void signalNodeAttrChanged(int iKey);

private:
    QString m_url;
    unsigned short m_port;
    QString m_protocolName;
    QString m_hostTypeName;
    QMap<QString, QString> m_customVars;

    Q_DISABLE_COPY(NodeAttr)
};

/**
 * The user's tree of folders and hosts, held flat: items refer to their
 * folder by key. Creating a host creates its engine in the engine registry
 * and deleting it deletes the engine. The graph is the parent of every item.
 */
class TAVO_KERNEL_EXPORT HostGraph : public QObject
{
    Q_OBJECT

public:
    /// Outside single-host mode, reads the per-user host graph file.
    explicit HostGraph(QObject* parent);
    ~HostGraph() override;

    /// The smallest key from 1 upward that no host and no folder has.
    int createKey() const;
    /// A negative key takes createKey(); a key some folder has gives null.
    FolderItem* createFolder(int key, int parentKey, const QString& alias);
    FolderItem* createBoxFolder(int key, int parentKey, const QString& alias,
                                const QString& configFile);
    /// Null, with a log line, when the key is taken or the protocol is not
    /// loaded. A host type nobody knows becomes NULL_HOST_TYPE.
    NodeAttr* createNodeAttr(int key, const QString& hostTypeName, const QString& protocolName,
                             const QString& url, unsigned short port, int parentKey,
                             const QString& alias);
    /// The folder with its whole subtree of folders and hosts.
    bool deleteFolder(int key);
    bool deleteHost(int key);

    bool loadFromFile(const QString& fileName);
    bool saveToFile(const QString& fileName);
    bool saveAs(const QString& fileName) { return saveToFile(fileName); }
    /// Writes the per-user file when the graph has changed, except in
    /// single-host mode.
    void checkSave();
    /// Where checkSave() writes: the file of the user-scope INI settings of
    /// the organisation "tavo-client" named after the host graph file.
    static QString userFilePath();

    QMap<int, FolderItem*> foldersByKey;
    QList<FolderItem*> folderList;
    QMap<int, NodeAttr*> hostsByKey;
    QList<NodeAttr*> hostList;
    QString fileName;
    bool modified = false;

private:
    FolderItem* enterFolder(FolderItem* folder);

    Q_DISABLE_COPY(HostGraph)
};
