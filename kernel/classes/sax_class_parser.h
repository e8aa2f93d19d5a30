#pragma once

#include "tavo_kernel_export.h"

#include <QCoreApplication>
#include <QString>

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
#include <QXmlDefaultHandler>

class ClassDb;
class DeviceClass;
class ParamClass;

/**
 * The event-driven reader of one class description file. It checks every
 * element against the place where it stands and every attribute and value
 * against its rules, and hands each finished device class to the database.
 * The first error ends the file: the class being read is destroyed, classes
 * completed before it stay in the database.
 *
 * One reader object serves one file.
 */
class TAVO_KERNEL_EXPORT SaxClassParser : public QXmlDefaultHandler
{
    Q_DECLARE_TR_FUNCTIONS(SaxClassParser)

public:
    enum State {
        Idle,
        Document,
        ClassList,
        Class,
        Param,
        Alias,
        Reference,
        VirtualParam,
        Arg,
        Script,
        HumanName,
        Info,
        DefValue,
        Access,
        Variants,
        MinValue,
        MaxValue,
        Step,
        Oid,
        Alarm
    };

    SaxClassParser(const QString& fileName, ClassDb* classDb);
    ~SaxClassParser() override;

    bool startDocument() override;
    bool endDocument() override;
    bool startElement(const QString& namespaceURI, const QString& localName, const QString& qName,
                      const QXmlAttributes& attributes) override;
    bool endElement(const QString& namespaceURI, const QString& localName,
                    const QString& qName) override;
    bool characters(const QString& text) override;
    bool fatalError(const QXmlParseException& exception) override;

    /// Destroys the open parameter, alias, reference and class and forgets them.
    void dataReset();

    QString fileName;
    ClassDb* classDb;
    State state = Idle;
    ParamClass* currentParam = nullptr;
    ParamClass* currentAlias = nullptr;
    ParamClass* currentReference = nullptr;
    DeviceClass* currentClass = nullptr;

private:
    bool startClass(const QXmlAttributes& attributes);
    bool startParam(const QXmlAttributes& attributes);
    bool startReference(const QXmlAttributes& attributes);
    bool startAlias(const QXmlAttributes& attributes);
    bool startVirtualParam(const QXmlAttributes& attributes);
    bool startArg(const QXmlAttributes& attributes);
    bool applyText(const QString& text);
    bool applyVariants(const QString& text);
    bool applyAccess(const QString& text);
    bool checkScript(const QString& wrapped, const QString& paramName);
    ParamClass* currentObject() const;
    State ownerState() const;
    bool unexpectedTag(const QString& name);
    bool unknownTag(const QString& name);

    Q_DISABLE_COPY(SaxClassParser)

    // Text of a value element, gathered over every characters() call: the
    // reader may split one text at entity references and CDATA sections.
    QString m_text;
    bool m_hasText = false;
};

QT_WARNING_POP
