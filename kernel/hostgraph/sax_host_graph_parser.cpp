#include "hostgraph/sax_host_graph_parser.h"

#include "foundation/log_p.h"
#include "foundation/xml_error_p.h"
#include "hostgraph/host_graph.h"

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED

namespace {

struct ChildElement
{
    const char* name;
    int state;
};

// The elements inside <host> that hold text or attributes of their own, with
// the state each opens.
const ChildElement hostChildren[] = {
    {"link", SaxHostGraphParser::HostLink},
    {"url", SaxHostGraphParser::HostUrl},
    {"port", SaxHostGraphParser::HostPort},
    {"type", SaxHostGraphParser::HostType},
    {"protocol", SaxHostGraphParser::HostProtocol},
    {"var", SaxHostGraphParser::HostVar},
    {"description", SaxHostGraphParser::HostDescription},
};

const ChildElement folderChildren[] = {
    {"parent_key", SaxHostGraphParser::FolderParentKey},
    {"alias", SaxHostGraphParser::FolderAlias},
    {"config_file", SaxHostGraphParser::FolderConfigFile},
};

template<size_t N> int stateOf(const ChildElement (&table)[N], const QString& name)
{
    for (const ChildElement& child : table) {
        if (name == QLatin1String(child.name))
            return child.state;
    }
    return -1;
}

} // namespace

SaxHostGraphParser::SaxHostGraphParser(const QString& fileName, HostGraph* graph)
    : fileName(fileName)
    , graph(graph)
{
}

SaxHostGraphParser::~SaxHostGraphParser() = default;

void SaxHostGraphParser::dataReset()
{
    url = QString();
    alias = QString();
    hostType = QString();
    protocol = QString();
    description = QString();
    configFile = QString();
    key = -1;
    parentKey = -1;
    port = -1;
    autoconnect = 0;
    variables.clear();
    m_text.clear();
}

bool SaxHostGraphParser::fail(const QString& message)
{
    tavolog::error(message);
    return false;
}

bool SaxHostGraphParser::unexpectedTag(const QString& name)
{
    return fail(tr("Unexpected tag '%1' in file '%2'").arg(name, fileName));
}

bool SaxHostGraphParser::unknownTag(const QString& name)
{
    return fail(tr("Unknown tag '%1' in file '%2'").arg(name, fileName));
}

bool SaxHostGraphParser::startDocument()
{
    if (!graph)
        return fail(tr("HostGraph object is not set for parsing"));
    state = Document;
    dataReset();
    return true;
}

bool SaxHostGraphParser::endDocument()
{
    tavolog::message(tr("Parsing for '%1' is done successfull").arg(fileName));
    state = Idle;
    dataReset();
    return true;
}

bool SaxHostGraphParser::readKey(const QXmlAttributes& attributes, const KeyMessages& messages)
{
    const QString text = attributes.value(QStringLiteral("key"));
    if (text.isEmpty())
        return fail(messages.absent.arg(fileName));
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        return fail(messages.notInteger.arg(fileName));
    if (value < 0)
        return fail(messages.negative.arg(fileName));
    key = value;
    return true;
}

bool SaxHostGraphParser::startElement(const QString&, const QString&, const QString& qName,
                                      const QXmlAttributes& attributes)
{
    if (qName == QLatin1String("hostgraph")) {
        if (state != Document)
            return unexpectedTag(qName);
        state = Graph;
        return true;
    }
    if (qName == QLatin1String("folder")) {
        if (state != Graph)
            return unexpectedTag(qName);
        if (!readKey(attributes,
                     {tr("Attribute 'key' is absent for 'folder' tag in '%1'"),
                      tr("Folder attribute 'key' is not integer value in '%1'"),
                      tr("Folder attribute 'key' must be > 0 in '%1'")}))
            return false;
        state = Folder;
        return true;
    }
    if (qName == QLatin1String("host")) {
        if (state != Graph)
            return unexpectedTag(qName);
        if (!readKey(attributes,
                     {tr("Attribute 'key' is absent for 'host' tag in '%1'"),
                      tr("Node attribute 'key' is not integer value in '%1'"),
                      tr("Node attribute 'key' must be > 0 in '%1'")}))
            return false;
        state = Host;
        return true;
    }
    const int folderChild = stateOf(folderChildren, qName);
    if (folderChild >= 0) {
        if (state != Folder)
            return unexpectedTag(qName);
        m_text.clear();
        state = folderChild;
        return true;
    }
    const int hostChild = stateOf(hostChildren, qName);
    if (hostChild >= 0) {
        if (state != Host)
            return unexpectedTag(qName);
        m_text.clear();
        if (!startHostChild(attributes, qName))
            return false;
        state = hostChild;
        return true;
    }
    return unknownTag(qName);
}

bool SaxHostGraphParser::startHostChild(const QXmlAttributes& attributes, const QString& name)
{
    bool ok = false;
    if (name == QLatin1String("link")) {
        const QString parent = attributes.value(QStringLiteral("parent_key"));
        if (parent.isEmpty())
            return fail(tr("Attribute 'parent' is absent for 'link' tag in '%1'").arg(fileName));
        const int value = parent.toInt(&ok, 10);
        if (!ok)
            return fail(
                tr("Link attribute 'parent_key' is not integer value in '%1'").arg(fileName));
        if (value < 0)
            return fail(tr("Link attribute 'parent_key' must be > 0 in '%1'").arg(fileName));
        const QString linkAlias = attributes.value(QStringLiteral("alias"));
        if (linkAlias.isEmpty())
            return fail(tr("Attribute 'alias' is absent for 'link' tag in '%1'").arg(fileName));
        parentKey = value;
        alias = linkAlias;
    } else if (name == QLatin1String("url")) {
        const int index = attributes.index(QStringLiteral("autoconnect"));
        if (index < 0)
            return fail(
                tr("Attribute 'autoconnect' is absent for 'url' tag in '%1'").arg(fileName));
        const int value = attributes.value(index).toInt(&ok, 10);
        if (!ok)
            return fail(
                tr("Link attribute 'autoconnect' is not integer value in '%1'").arg(fileName));
        autoconnect = value >= 0 && value <= 2 ? value : 0;
    } else if (name == QLatin1String("var")) {
        const int index = attributes.index(QStringLiteral("name"));
        if (index < 0 || attributes.value(index).isEmpty())
            return fail(tr("Attribute 'name' is absent for 'var' tag in '%1'").arg(fileName));
        variables.insert(attributes.value(index), attributes.value(QStringLiteral("value")));
    }
    return true;
}

bool SaxHostGraphParser::characters(const QString& text)
{
    switch (state) {
    case Idle:
    case Document:
    case Graph:
    case Folder:
    case Host:
    case HostLink:
    case HostVar:
        return true; // whitespace between elements
    case FolderParentKey:
    case FolderAlias:
    case HostUrl:
    case HostPort:
    case HostType:
    case HostProtocol:
    case HostDescription:
    case FolderConfigFile:
        m_text += text;
        return true;
    default:
        return fail(
            tr("Undefined state for characters ('%1') call in file '%2'").arg(text, fileName));
    }
}

// A reader reports no text at all for an empty element, so the checks of a
// text element's value are made when it closes.
bool SaxHostGraphParser::takeText()
{
    const QString& text = m_text;
    bool ok = false;
    switch (state) {
    case FolderParentKey: {
        if (text.isEmpty())
            return fail(tr("'parent_key' tag has empty value in '%1'").arg(fileName));
        const int value = text.toInt(&ok, 10);
        if (!ok)
            return fail(
                tr("'parent_key' tag has not integer value ('%1') in '%2'").arg(text, fileName));
        if (value < 0)
            return fail(tr("'parent_key' value must be >0 in '%1'").arg(fileName));
        parentKey = value;
        return true;
    }
    case FolderAlias:
        // An empty alias is the folder's fault, told when the folder closes.
        alias = text;
        return true;
    case HostUrl:
        if (text.isEmpty())
            return fail(tr("'url' tag has empty value in '%1'").arg(fileName));
        url = text;
        return true;
    case HostPort: {
        if (text.isEmpty())
            return fail(tr("'port' tag has empty value in '%1'").arg(fileName));
        const qlonglong value = text.toLongLong(&ok, 10);
        if (!ok)
            return fail(tr("Invalid port: '%1'").arg(text));
        if (value < 0 || value > 65535)
            return fail(tr("Invalid port: '%1'. Must be in range [0..65535]").arg(text));
        port = int(value);
        return true;
    }
    case HostType:
        if (text.isEmpty())
            return fail(tr("'type' tag has empty value in '%1'").arg(fileName));
        hostType = text;
        return true;
    case HostProtocol:
        if (text.isEmpty())
            return fail(tr("'protocol' tag has empty value in '%1'").arg(fileName));
        protocol = text;
        return true;
    case HostDescription:
        // The writer writes an empty element for a host without a
        // description: that must read back, not stop the file.
        description = text;
        return true;
    case FolderConfigFile:
        if (text.isEmpty())
            return fail(tr("'config_file' tag has empty value in '%1'").arg(fileName));
        configFile = text;
        return true;
    default:
        return true;
    }
}

bool SaxHostGraphParser::endElement(const QString&, const QString&, const QString& qName)
{
    if (qName == QLatin1String("hostgraph")) {
        if (state != Graph)
            return unexpectedTag(qName);
        state = Document;
        return true;
    }
    if (qName == QLatin1String("folder")) {
        if (state != Folder)
            return unexpectedTag(qName);
        return createFolder();
    }
    if (qName == QLatin1String("host")) {
        if (state != Host)
            return unexpectedTag(qName);
        return createHost();
    }
    const int folderChild = stateOf(folderChildren, qName);
    if (folderChild >= 0) {
        if (state != folderChild)
            return unexpectedTag(qName);
        if (!takeText())
            return false;
        state = Folder;
        return true;
    }
    const int hostChild = stateOf(hostChildren, qName);
    if (hostChild >= 0) {
        if (state != hostChild)
            return unexpectedTag(qName);
        if (!takeText())
            return false;
        state = Host;
        return true;
    }
    return unknownTag(qName);
}

bool SaxHostGraphParser::createFolder()
{
    if (parentKey < 0)
        return fail(tr("Folder 'parent_key' is undefined in '%1'").arg(fileName));
    if (alias.isEmpty())
        return fail(tr("Folder 'alias' tag has empty value in '%1'").arg(fileName));
    FolderItem* folder = configFile.isEmpty()
        ? graph->createFolder(key, parentKey, alias)
        : graph->createBoxFolder(key, parentKey, alias, configFile);
    if (!folder)
        return fail(tr("Can't create folder with key '%1' in file '%2'").arg(key).arg(fileName));
    dataReset();
    state = Graph;
    return true;
}

bool SaxHostGraphParser::createHost()
{
    if (alias.isEmpty() || parentKey < 0)
        return fail(tr("Link is undefined in '%1'").arg(fileName));
    if (url.isNull())
        return fail(tr("Host URL is null in '%1'").arg(fileName));
    if (port < 0)
        return fail(tr("Host port is undefined in '%1'").arg(fileName));
    if (hostType.isEmpty())
        return fail(tr("Host type is undefined in '%1'").arg(fileName));
    NodeAttr* node =
        graph->createNodeAttr(key, hostType, protocol, url, quint16(port), parentKey, alias);
    if (!node) {
        // One host the graph refuses must not cost the user the rest.
        tavolog::error(tr("Can't create node '%1' in file '%2'").arg(url, fileName));
    } else {
        if (!description.isEmpty())
            node->setDescription(description);
        for (auto it = variables.cbegin(); it != variables.cend(); ++it)
            node->setCustomVarValue(it.key(), it.value());
        node->autoconnect = autoconnect;
    }
    dataReset();
    state = Graph;
    return true;
}

bool SaxHostGraphParser::fatalError(const QXmlParseException& exception)
{
    tavolog::xmlFatalError(exception, fileName);
    dataReset();
    return false;
}

QT_WARNING_POP
