#pragma once

#include "tavo_kernel_export.h"

#include <QCoreApplication>
#include <QMap>
#include <QString>

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
#include <QXmlDefaultHandler>

class HostGraph;

/**
 * The event-driven reader of a host graph file. Items are created in the
 * graph as soon as their closing tag is read; the first structural error
 * ends the file, while a host the graph refuses is skipped.
 */
class TAVO_KERNEL_EXPORT SaxHostGraphParser : public QXmlDefaultHandler
{
    Q_DECLARE_TR_FUNCTIONS(SaxHostGraphParser)

public:
    enum State {
        Idle = 0,
        Document = 1,
        Graph = 2,
        Folder = 3,
        FolderParentKey = 4,
        FolderAlias = 5,
        Host = 6,
        HostLink = 7,
        HostUrl = 8,
        HostPort = 9,
        HostType = 10,
        HostProtocol = 11,
        HostVar = 12,
        HostDescription = 13,
        FolderConfigFile = 14
    };

    SaxHostGraphParser(const QString& fileName, HostGraph* graph);
    ~SaxHostGraphParser() override;

    bool startDocument() override;
    bool endDocument() override;
    bool startElement(const QString& namespaceURI, const QString& localName, const QString& qName,
                      const QXmlAttributes& attributes) override;
    bool endElement(const QString& namespaceURI, const QString& localName,
                    const QString& qName) override;
    bool characters(const QString& text) override;
    bool fatalError(const QXmlParseException& exception) override;

    /// Every gathered value back to "not read".
    void dataReset();

    QString fileName;
    HostGraph* graph;

    QString url;
    QString alias;
    QString hostType;
    QString protocol;
    QString description;
    QString configFile;
    int key = -1;
    int parentKey = -1;
    int port = -1;
    int autoconnect = 0;
    QMap<QString, QString> variables;
    int state = Idle;

private:
    bool unexpectedTag(const QString& name);
    bool unknownTag(const QString& name);
    bool fail(const QString& message);
    struct KeyMessages
    {
        QString absent, notInteger, negative;
    };
    bool readKey(const QXmlAttributes& attributes, const KeyMessages& messages);
    bool startHostChild(const QXmlAttributes& attributes, const QString& name);
    bool takeText();
    bool createFolder();
    bool createHost();

    Q_DISABLE_COPY(SaxHostGraphParser)

    // The text of the element being read, gathered over every characters()
    // call and checked when the element closes.
    QString m_text;
};

QT_WARNING_POP
