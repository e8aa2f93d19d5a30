#pragma once

#include "tavo_kernel_export.h"

#include <QCoreApplication>
#include <QString>

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
#include <QXmlDefaultHandler>

class HostType;
class HostTypeDb;

/**
 * The event-driven reader of one host type file. The first error ends the
 * file; host types completed before it stay in the database.
 */
class TAVO_KERNEL_EXPORT SaxHostTypeParser : public QXmlDefaultHandler
{
    Q_DECLARE_TR_FUNCTIONS(SaxHostTypeParser)

public:
    enum State { Idle, Document, List, NodeType, Device };

    SaxHostTypeParser(const QString& fileName, HostTypeDb* hostTypeDb);
    ~SaxHostTypeParser() override;

    bool startDocument() override;
    bool endDocument() override;
    bool startElement(const QString& namespaceURI, const QString& localName, const QString& qName,
                      const QXmlAttributes& attributes) override;
    bool endElement(const QString& namespaceURI, const QString& localName,
                    const QString& qName) override;
    bool characters(const QString& text) override;
    bool fatalError(const QXmlParseException& exception) override;

    QString fileName;
    HostTypeDb* hostTypeDb;
    HostType* currentHostType = nullptr;
    State state = Idle;

private:
    void dropCurrent();
    bool unexpectedTag(const QString& name);

    Q_DISABLE_COPY(SaxHostTypeParser)

    // The text of a device element, gathered over every characters() call.
    QString m_text;
};

QT_WARNING_POP
