#include "hosttypes/sax_host_type_parser.h"

#include "foundation/log_p.h"
#include "foundation/xml_error_p.h"
#include "hosttypes/host_type_db.h"

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED

SaxHostTypeParser::SaxHostTypeParser(const QString& fileName, HostTypeDb* hostTypeDb)
    : fileName(fileName)
    , hostTypeDb(hostTypeDb)
{
}

SaxHostTypeParser::~SaxHostTypeParser()
{
    dropCurrent();
}

void SaxHostTypeParser::dropCurrent()
{
    delete currentHostType;
    currentHostType = nullptr;
}

bool SaxHostTypeParser::unexpectedTag(const QString& name)
{
    tavolog::error(tr("Unexpected tag '%1' in file '%2'").arg(name, fileName));
    return false;
}

bool SaxHostTypeParser::startDocument()
{
    if (!hostTypeDb) {
        tavolog::error(tr("Nodetype database object is not set for parsing"));
        return false;
    }
    state = Document;
    dropCurrent();
    return true;
}

bool SaxHostTypeParser::endDocument()
{
    tavolog::message(tr("Parsing for '%1' is done successfull").arg(fileName));
    state = Idle;
    dropCurrent();
    return true;
}

bool SaxHostTypeParser::startElement(const QString&, const QString&, const QString& qName,
                                     const QXmlAttributes& attributes)
{
    if (qName == QLatin1String("nodetypelist")) {
        if (state != Document)
            return unexpectedTag(qName);
        state = List;
        return true;
    }
    if (qName == QLatin1String("nodetype")) {
        if (state != List)
            return unexpectedTag(qName);
        const QString name = attributes.value(QStringLiteral("name"));
        if (name.isEmpty()) {
            tavolog::error(tr("Nodetype name is absent"));
            return false;
        }
        // Parentless until it is complete: a refused type must not linger
        // among the database's children.
        currentHostType = new HostType(name, nullptr);
        const QString protocol = attributes.value(QStringLiteral("protocol"));
        currentHostType->setProtocolName(protocol.isEmpty() ? QStringLiteral("tavo") : protocol);
        state = NodeType;
        return true;
    }
    if (qName == QLatin1String("device")) {
        if (state != NodeType)
            return unexpectedTag(qName);
        m_text.clear();
        state = Device;
        return true;
    }
    tavolog::error(tr("Unknown tag '%1' in file '%2'").arg(qName, fileName));
    return false;
}

bool SaxHostTypeParser::characters(const QString& text)
{
    if (state == Device)
        m_text += text;
    return true;
}

bool SaxHostTypeParser::endElement(const QString&, const QString&, const QString& qName)
{
    if (qName == QLatin1String("nodetypelist")) {
        if (state != List)
            return unexpectedTag(qName);
        state = Document;
        return true;
    }
    if (qName == QLatin1String("nodetype")) {
        if (state != NodeType)
            return unexpectedTag(qName);
        if (hostTypeDb->findHostType(currentHostType->hostTypeName())) {
            tavolog::error(tr("Nodetype '%1' already exists in file '%2'")
                               .arg(currentHostType->hostTypeName(), fileName));
            return false;
        }
        hostTypeDb->addHostType(currentHostType);
        currentHostType = nullptr;
        state = List;
        return true;
    }
    if (qName == QLatin1String("device")) {
        if (state != Device)
            return unexpectedTag(qName);
        // An empty element would name no class at all; refuse it like an
        // empty text.
        if (m_text.isEmpty()) {
            tavolog::error(tr("'device' tag has empty value in '%1'").arg(fileName));
            return false;
        }
        currentHostType->addDeviceClassName(m_text);
        state = NodeType;
        return true;
    }
    tavolog::error(tr("Unknown tag '%1' in file '%2'").arg(qName, fileName));
    return false;
}

bool SaxHostTypeParser::fatalError(const QXmlParseException& exception)
{
    tavolog::xmlFatalError(exception, fileName);
    dropCurrent();
    return false;
}

QT_WARNING_POP
