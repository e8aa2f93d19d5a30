#include "users/sax_user_list_parser.h"

#include "foundation/log_p.h"
#include "foundation/resource_walk_p.h"
#include "foundation/xml_error_p.h"
#include "users/user_capabilities.h"

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED

SaxUserListParser::SaxUserListParser(const QString& fileName, UserCapabilities* target)
    : fileName(fileName)
    , capabilities(target)
{
}

SaxUserListParser::~SaxUserListParser() = default;

bool SaxUserListParser::readFile(const QString& path, UserCapabilities* target)
{
    return tavoresources::parseFile(
        path, [target](const QString& file) { return SaxUserListParser(file, target); });
}

void SaxUserListParser::dataReset()
{
    userName.clear();
    permission = {};
}

bool SaxUserListParser::unexpectedTag(const QString& name)
{
    tavolog::error(tr("Unexpected tag '%1' in file '%2'").arg(name, fileName));
    return false;
}

bool SaxUserListParser::unknownTag(const QString& name)
{
    tavolog::error(tr("Unknown tag '%1' in file '%2'").arg(name, fileName));
    return false;
}

bool SaxUserListParser::startDocument()
{
    if (!capabilities) {
        tavolog::error(tr("User Capabilities object is not set for parsing"));
        return false;
    }
    state = Document;
    return true;
}

bool SaxUserListParser::endDocument()
{
    capabilities->currentUser = capabilities->defaultUser;
    tavolog::message(tr("Parsing for '%1' is done successfull").arg(fileName));
    state = Idle;
    permission = {};
    return true;
}

bool SaxUserListParser::startElement(const QString&, const QString&, const QString& qName,
                                     const QXmlAttributes& attributes)
{
    if (qName == QLatin1String("userslist")) {
        if (state != Document)
            return unexpectedTag(qName);
        state = UsersList;
        return true;
    }
    if (qName == QLatin1String("user")) {
        if (state != UsersList)
            return unexpectedTag(qName);
        userName = attributes.value(QStringLiteral("name"));
        capabilities->capabilities.insert(userName, {});
        capabilities->userNames.insert(userName, QString());
        state = User;
        return true;
    }
    if (qName == QLatin1String("permission")) {
        if (state != User)
            return unexpectedTag(qName);
        permission = {QString(), attributes.value(QStringLiteral("translation"))};
        m_text.clear();
        m_hasText = false;
        state = Permission;
        return true;
    }
    return unknownTag(qName);
}

bool SaxUserListParser::characters(const QString& text)
{
    switch (state) {
    case Idle:
    case Document:
    case UsersList:
    case User:
        return true;
    case Permission:
        m_text += text;
        m_hasText = true;
        return true;
    default:
        tavolog::error(
            tr("Undefined state for characters ('%1') call in file '%2'").arg(text, fileName));
        return false;
    }
}

bool SaxUserListParser::endElement(const QString&, const QString&, const QString& qName)
{
    if (qName == QLatin1String("permission")) {
        if (state != Permission)
            return unexpectedTag(qName);
        if (m_hasText) {
            permission.first = m_text.trimmed();
            if (permission.first.isEmpty()) {
                tavolog::error(tr("'permission' tag has empty value for user '%1' in '%2'")
                                   .arg(userName, fileName));
                return false;
            }
            capabilities->append(userName, permission);
        }
        state = User;
        return true;
    }
    if (qName == QLatin1String("user")) {
        if (state != User)
            return unexpectedTag(qName);
        dataReset();
        state = UsersList;
        return true;
    }
    if (qName == QLatin1String("userslist")) {
        if (state != UsersList)
            return unexpectedTag(qName);
        state = Document;
        return true;
    }
    return unknownTag(qName);
}

bool SaxUserListParser::fatalError(const QXmlParseException& exception)
{
    tavolog::xmlFatalError(exception, fileName);
    permission = {};
    return false;
}

QT_WARNING_POP
