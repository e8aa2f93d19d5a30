#include "classes/sax_class_parser.h"

#include "classes/class_db.h"
#include "classes/device_class.h"
#include "foundation/app_shared.h"
#include "foundation/log_p.h"
#include "foundation/xml_error_p.h"
#include "foundation/z4utils.h"

#include <QScriptEngine>
#include <QScriptValue>
#include <QStringList>
#include <QVector>

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED

namespace {

enum class Tag {
    Unknown,
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

Tag tagOf(const QString& name)
{
    static const QHash<QString, Tag> tags = {
        {QStringLiteral("classlist"), Tag::ClassList},
        {QStringLiteral("class"), Tag::Class},
        {QStringLiteral("param"), Tag::Param},
        {QStringLiteral("alias"), Tag::Alias},
        {QStringLiteral("reference"), Tag::Reference},
        {QStringLiteral("vparam"), Tag::VirtualParam},
        {QStringLiteral("arg"), Tag::Arg},
        {QStringLiteral("script"), Tag::Script},
        {QStringLiteral("human_name"), Tag::HumanName},
        {QStringLiteral("info"), Tag::Info},
        {QStringLiteral("defvalue"), Tag::DefValue},
        {QStringLiteral("access"), Tag::Access},
        {QStringLiteral("variants"), Tag::Variants},
        {QStringLiteral("minvalue"), Tag::MinValue},
        {QStringLiteral("maxvalue"), Tag::MaxValue},
        {QStringLiteral("step"), Tag::Step},
        {QStringLiteral("oid"), Tag::Oid},
        {QStringLiteral("alarm"), Tag::Alarm},
    };
    return tags.value(name, Tag::Unknown);
}

// The state a value element enters, for the elements that are values.
SaxClassParser::State valueState(Tag tag)
{
    switch (tag) {
    case Tag::HumanName:
        return SaxClassParser::HumanName;
    case Tag::Info:
        return SaxClassParser::Info;
    case Tag::DefValue:
        return SaxClassParser::DefValue;
    case Tag::Access:
        return SaxClassParser::Access;
    case Tag::Variants:
        return SaxClassParser::Variants;
    case Tag::MinValue:
        return SaxClassParser::MinValue;
    case Tag::MaxValue:
        return SaxClassParser::MaxValue;
    case Tag::Step:
        return SaxClassParser::Step;
    case Tag::Oid:
        return SaxClassParser::Oid;
    case Tag::Alarm:
        return SaxClassParser::Alarm;
    default:
        return SaxClassParser::Idle;
    }
}

bool isNumeric(Tavo::ParamType type)
{
    return type == Tavo::UINT || type == Tavo::INT || type == Tavo::FLOAT;
}

struct TypeKeyword
{
    const char* keyword;
    Tavo::ParamType type;
    int snmpType; // 0: leave as it is
};

const TypeKeyword paramTypeKeywords[] = {
    {"UINT", Tavo::UINT, 0},
    {"INT", Tavo::INT, 0},
    {"FLOAT", Tavo::FLOAT, 0},
    {"ASCIIZ", Tavo::ASCIIZ, 4},
    {"BYTE_ARRAY", Tavo::BYTE_ARRAY, 4},
    {"FILE", Tavo::FILE, 0},
    {"COUNTER", Tavo::UINT, 65},
    {"COUNTER32", Tavo::UINT, 65},
    {"COUNTER64", Tavo::UINT, 70},
    {"GAUGE", Tavo::UINT, 66},
    {"GAUGE32", Tavo::UINT, 66},
    {"UINTEGER32", Tavo::UINT, 71},
};

// Aliases and references name a value type only; the SNMP keywords belong to
// parameters read from a host.
constexpr int plainTypeKeywordCount = 6;

bool applyTypeKeyword(const QString& text, ParamClass* target, bool snmpAllowed)
{
    const QByteArray upper = text.toUpper().toLatin1();
    const int count = snmpAllowed ? int(sizeof(paramTypeKeywords) / sizeof(paramTypeKeywords[0]))
                                  : plainTypeKeywordCount;
    for (int i = 0; i < count; ++i) {
        if (upper == paramTypeKeywords[i].keyword) {
            target->type = paramTypeKeywords[i].type;
            if (snmpAllowed && paramTypeKeywords[i].snmpType)
                target->snmpType = paramTypeKeywords[i].snmpType;
            return true;
        }
    }
    return false;
}

} // namespace

SaxClassParser::SaxClassParser(const QString& fileName, ClassDb* classDb)
    : fileName(fileName)
    , classDb(classDb)
{
}

SaxClassParser::~SaxClassParser()
{
    dataReset();
}

void SaxClassParser::dataReset()
{
    delete currentAlias;
    currentAlias = nullptr;
    delete currentReference;
    currentReference = nullptr;
    delete currentParam;
    currentParam = nullptr;
    delete currentClass;
    currentClass = nullptr;
    m_text.clear();
    m_hasText = false;
}

bool SaxClassParser::startDocument()
{
    if (!classDb) {
        tavolog::error(tr("Class database object is not set for parsing"));
        return false;
    }
    state = Document;
    dataReset();
    return true;
}

bool SaxClassParser::endDocument()
{
    tavolog::message(tr("Parsing for '%1' is done successfull").arg(fileName));
    state = Idle;
    dataReset();
    return true;
}

bool SaxClassParser::unexpectedTag(const QString& name)
{
    tavolog::error(tr("Unexpected tag '%1' in file '%2'").arg(name, fileName));
    return false;
}

bool SaxClassParser::unknownTag(const QString& name)
{
    tavolog::error(tr("Unknown tag '%1' in file '%2'").arg(name, fileName));
    return false;
}

bool SaxClassParser::startElement(const QString&, const QString&, const QString& qName,
                                  const QXmlAttributes& attributes)
{
    const Tag tag = tagOf(qName);
    switch (tag) {
    case Tag::Unknown:
        return unknownTag(qName);
    case Tag::ClassList:
        if (state != Document)
            return unexpectedTag(qName);
        state = ClassList;
        return true;
    case Tag::Class:
        if (state != ClassList)
            return unexpectedTag(qName);
        return startClass(attributes);
    case Tag::Param:
        if (state != Class)
            return unexpectedTag(qName);
        return startParam(attributes);
    case Tag::Reference:
        if (state != Class)
            return unexpectedTag(qName);
        return startReference(attributes);
    case Tag::Alias:
        if (state != Param)
            return unexpectedTag(qName);
        return startAlias(attributes);
    case Tag::VirtualParam:
        if (state != Class)
            return unexpectedTag(qName);
        return startVirtualParam(attributes);
    case Tag::Arg:
        if (state != VirtualParam)
            return unexpectedTag(qName);
        return startArg(attributes);
    case Tag::Script:
        if (state != VirtualParam)
            return unexpectedTag(qName);
        state = Script;
        break;
    case Tag::Info:
    case Tag::DefValue:
    case Tag::Access:
        if (state != Param && state != Alias && state != Reference)
            return unexpectedTag(qName);
        state = valueState(tag);
        break;
    case Tag::HumanName:
    case Tag::Variants:
    case Tag::MinValue:
    case Tag::MaxValue:
    case Tag::Step:
    case Tag::Oid:
    case Tag::Alarm:
        if (state != Param)
            return unexpectedTag(qName);
        state = valueState(tag);
        break;
    }
    m_text.clear();
    m_hasText = false;
    return true;
}

bool SaxClassParser::startClass(const QXmlAttributes& attributes)
{
    auto* deviceClass = new DeviceClass(nullptr);
    deviceClass->name = attributes.value(QStringLiteral("name"));
    if (deviceClass->name.isEmpty()) {
        delete deviceClass;
        tavolog::error(tr("Attribute 'name' is absent for 'class' tag in '%1'").arg(fileName));
        return false;
    }
    deviceClass->interfaceName = attributes.value(QStringLiteral("interface"));
    if (deviceClass->interfaceName.isEmpty()) {
        delete deviceClass;
        tavolog::error(tr("Attribute 'interface' is absent for 'class' tag in '%1'").arg(fileName));
        return false;
    }
    const QString oid = attributes.value(QStringLiteral("oid"));
    if (!oid.isEmpty()) {
        QVector<int> components;
        if (!utils::dotStringToIntList(oid, components)) {
            delete deviceClass;
            tavolog::error(
                tr("Invalid 'oid' attribute for 'class' tag in '%1': %2").arg(fileName, oid));
            return false;
        }
        deviceClass->oid = oid;
    }
    currentClass = deviceClass;
    state = Class;
    return true;
}

bool SaxClassParser::startParam(const QXmlAttributes& attributes)
{
    auto* param = new ParamClass(nullptr);
    auto fail = [param](const QString& message) {
        delete param;
        tavolog::error(message);
        return false;
    };

    param->name = attributes.value(QStringLiteral("name"));
    if (param->name.isEmpty())
        return fail(tr("Attribute 'name' is absent for 'param' tag in '%1'").arg(fileName));

    param->basename = attributes.value(QStringLiteral("basename"));
    if (!param->basename.isEmpty()) {
        const QString bitText = attributes.value(QStringLiteral("bit"));
        if (bitText.isEmpty())
            return fail(
                tr("Attribute 'bit' absent for 'basename' attribute in '%1'").arg(fileName));
        bool ok = false;
        param->bit = bitText.toInt(&ok, 10);
        if (!ok)
            return fail(tr("Attribute 'bit' is not integer value in '%1'").arg(fileName));
        // A negative first bit would address no bit of the base word at all.
        if (param->bit < 0)
            return fail(tr("Attribute 'bit' must be >= 0 in '%1'").arg(fileName));
    }

    const QString dimText = attributes.value(QStringLiteral("dim"));
    if (!dimText.isEmpty()) {
        bool ok = false;
        param->dim = dimText.toInt(&ok, 10);
        if (!ok)
            return fail(tr("Attribute 'dim' is not integer value in '%1'").arg(fileName));
        if (param->dim < 1)
            return fail(tr("Attribute 'dim' must be >= 1 in '%1'").arg(fileName));
    }
    if (!param->basename.isEmpty() && qint64(param->bit) + param->dim > 32)
        return fail(tr("Sum 'dim + bit > 32' is impossible case in '%1'.").arg(fileName));

    const QString typeText = attributes.value(QStringLiteral("type"));
    if (!typeText.isEmpty() && !applyTypeKeyword(typeText, param, true))
        return fail(tr("Attribute 'type' is invalid (%1) in '%2'").arg(typeText, fileName));

    currentParam = param;
    state = Param;
    return true;
}

bool SaxClassParser::startReference(const QXmlAttributes& attributes)
{
    auto* reference = new ParamClass(nullptr);
    reference->isReference = true;
    auto fail = [reference](const QString& message) {
        delete reference;
        tavolog::error(message);
        return false;
    };

    reference->name = attributes.value(QStringLiteral("name"));
    if (reference->name.isEmpty())
        return fail(tr("Attribute 'name' is absent for 'reference' tag in '%1'").arg(fileName));
    reference->targetClass = attributes.value(QStringLiteral("target_class"));
    if (reference->targetClass.isEmpty())
        return fail(
            tr("Attribute 'target_class' is absent for 'reference' tag in '%1'").arg(fileName));
    reference->targetParam = attributes.value(QStringLiteral("target_param"));
    if (reference->targetParam.isEmpty())
        return fail(
            tr("Attribute 'target_param' is absent for 'reference' tag in '%1'").arg(fileName));
    const QString typeText = attributes.value(QStringLiteral("type"));
    if (!typeText.isEmpty() && !applyTypeKeyword(typeText, reference, false))
        return fail(tr("Attribute 'type' is invalid (%1) in '%2'").arg(typeText, fileName));

    currentReference = reference;
    state = Reference;
    return true;
}

bool SaxClassParser::startAlias(const QXmlAttributes& attributes)
{
    auto* alias = new ParamClass(nullptr);
    alias->isAlias = true;
    auto fail = [alias](const QString& message) {
        delete alias;
        tavolog::error(message);
        return false;
    };

    alias->name = attributes.value(QStringLiteral("name"));
    if (alias->name.isEmpty())
        return fail(tr("Attribute 'name' is absent for 'alias' tag in '%1'").arg(fileName));
    const QString typeText = attributes.value(QStringLiteral("type"));
    if (!typeText.isEmpty() && !applyTypeKeyword(typeText, alias, false))
        return fail(tr("Attribute 'type' is invalid (%1) in '%2'").arg(typeText, fileName));

    currentAlias = alias;
    state = Alias;
    return true;
}

bool SaxClassParser::startVirtualParam(const QXmlAttributes& attributes)
{
    const QString name = attributes.value(QStringLiteral("name"));
    if (name.isEmpty()) {
        tavolog::error(tr("Attribute 'name' is absent for 'vparam' tag in '%1'").arg(fileName));
        return false;
    }
    auto* param = new ParamClass(nullptr);
    param->name = name;
    param->isVirtual = true;
    currentParam = param;
    state = VirtualParam;
    return true;
}

bool SaxClassParser::startArg(const QXmlAttributes& attributes)
{
    const QString id = attributes.value(QStringLiteral("id"));
    if (id.isEmpty()) {
        tavolog::error(tr("Attribute 'id' is absent for 'arg' tag in '%1'").arg(fileName));
        return false;
    }
    const QString param = attributes.value(QStringLiteral("param"));
    if (param.isEmpty()) {
        tavolog::error(tr("Attribute 'param' is absent for 'arg' tag in '%1'").arg(fileName));
        return false;
    }
    currentParam->args.insert(id, param);
    state = Arg;
    return true;
}

bool SaxClassParser::characters(const QString& text)
{
    switch (state) {
    case Script:
    case HumanName:
    case Info:
    case DefValue:
    case Access:
    case Variants:
    case MinValue:
    case MaxValue:
    case Step:
    case Oid:
    case Alarm:
        m_text += text;
        m_hasText = true;
        return true;
    default:
        // Whitespace between elements.
        return true;
    }
}

ParamClass* SaxClassParser::currentObject() const
{
    if (currentAlias)
        return currentAlias;
    if (currentParam)
        return currentParam;
    return currentReference;
}

SaxClassParser::State SaxClassParser::ownerState() const
{
    if (currentAlias)
        return Alias;
    if (currentParam)
        return Param;
    return Reference;
}

bool SaxClassParser::checkScript(const QString& wrapped, const QString& paramName)
{
    QScriptEngine* engine = share::scriptEngine;
    if (!engine) {
        tavolog::error(tr("Script engine is not set to check the script of param '%1' in '%2'")
                           .arg(paramName, fileName));
        return false;
    }
    engine->evaluate(wrapped, QString(), 1);
    if (engine->hasUncaughtException()) {
        const QString exception = engine->uncaughtException().toString();
        engine->clearExceptions();
        tavolog::error(tr("Script '%1' for param '%2' in '%3' : %4.")
                           .arg(wrapped, paramName, fileName, exception));
        return false;
    }
    return true;
}

bool SaxClassParser::applyAccess(const QString& text)
{
    ParamClass* target = currentObject();
    const QString upper = text.toUpper();
    if (upper == QLatin1String("R")) {
        target->access = 1;
    } else if (upper == QLatin1String("W")) {
        target->access = 2;
    } else if (upper == QLatin1String("RW")) {
        target->access = 3;
    } else if (upper == QLatin1String("WX")) {
        target->access = 2;
        target->isExecutable = true;
    } else if (upper == QLatin1String("RWX")) {
        target->access = 3;
        target->isExecutable = true;
    } else {
        tavolog::error(tr("Unrecognize access value '%1' in '%2'").arg(text, fileName));
        return false;
    }
    return true;
}

bool SaxClassParser::applyVariants(const QString& text)
{
    const QStringList items = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (items.isEmpty()) {
        tavolog::error(tr("'variants' tag has no value list"));
        return false;
    }

    QVector<quint32> values;
    QMap<quint32, QString> names = currentParam->variantNames;
    values.reserve(items.size());
    for (const QString& item : items) {
        const QStringList parts = item.split(QLatin1Char(':'), Qt::SkipEmptyParts);
        if (parts.isEmpty() || parts.size() > 2) {
            tavolog::error(tr("'variants' tag has invalid item - '%1'").arg(item));
            return false;
        }
        const QString& valueText = parts.at(0);
        bool ok = false;
        quint32 word = 0;
        switch (currentParam->type) {
        case Tavo::UINT:
            word = valueText.toUInt(&ok, 0);
            if (!ok) {
                tavolog::error(
                    tr("Expected unsigned integer value in 'variants' tag, but found - '%1'")
                        .arg(valueText));
                return false;
            }
            break;
        case Tavo::INT:
            word = Tavo::intToWord(valueText.toInt(&ok, 0));
            if (!ok) {
                tavolog::error(tr("Expected integer value in 'variants' tag, but found - '%1'")
                                   .arg(valueText));
                return false;
            }
            break;
        case Tavo::FLOAT:
            word = Tavo::floatToWord(valueText.toFloat(&ok));
            if (!ok) {
                tavolog::error(
                    tr("Expected float value in 'variants' tag, but found - '%1'").arg(valueText));
                return false;
            }
            break;
        default:
            tavolog::error(tr("Tag 'variants' match for numeric types only"));
            return false;
        }
        values.append(word);
        if (parts.size() == 2)
            names.insert(word, parts.at(1));
    }
    currentParam->variants += values;
    currentParam->variantNames = names;
    return true;
}

bool SaxClassParser::applyText(const QString& text)
{
    switch (state) {
    case HumanName:
        if (text.isEmpty()) {
            tavolog::error(tr("'human_name' tag has empty value in '%1'").arg(fileName));
            return false;
        }
        currentParam->humanName = text;
        return true;
    case Info: {
        const QString trimmed = utils::fullTrimmed(text);
        if (trimmed.isEmpty()) {
            tavolog::error(tr("'info' tag has empty value in '%1'").arg(fileName));
            return false;
        }
        currentObject()->info = utils::wikiHandling(trimmed);
        return true;
    }
    case DefValue: {
        ParamClass* target = currentObject();
        unsigned long word = 0;
        QByteArray bytes;
        if (!imageToParamType(text, target->type, &word, &bytes))
            return false;
        if (isNumeric(target->type))
            target->defValue = quint32(word);
        else
            target->defBytes = bytes;
        target->hasDefValue = true;
        return true;
    }
    case Access:
        return applyAccess(text);
    case Variants:
        return applyVariants(text);
    case MinValue:
    case MaxValue:
    case Step: {
        // Limits and steps exist for numeric values only; asking for a text
        // type's word is refused by the conversion itself.
        unsigned long word = 0;
        if (!imageToParamType(text, currentParam->type, &word, nullptr))
            return false;
        if (state == MinValue) {
            currentParam->minValue = quint32(word);
            currentParam->hasMinValue = true;
        } else if (state == MaxValue) {
            currentParam->maxValue = quint32(word);
            currentParam->hasMaxValue = true;
        } else {
            currentParam->step = quint32(word);
        }
        return true;
    }
    case Oid:
        currentParam->oid = text;
        return true;
    case Alarm:
        if (text.trimmed().isEmpty()) {
            tavolog::error(
                tr("Script is empty for param '%1' in '%2'").arg(currentParam->name, fileName));
            return false;
        }
        if (!checkScript(QStringLiteral("function myFunc(param) { %1 }").arg(text),
                         currentParam->name))
            return false;
        currentParam->alarmScript = text;
        return true;
    case Script: {
        if (text.trimmed().isEmpty()) {
            tavolog::error(
                tr("Script is empty for param '%1' in '%2'").arg(currentParam->name, fileName));
            return false;
        }
        const QStringList ids = currentParam->args.keys(); // ascending text order
        const QString wrapped =
            QStringLiteral("function myFunc(%1) { %2 }").arg(ids.join(QStringLiteral(", ")), text);
        if (!checkScript(wrapped, currentParam->name))
            return false;
        currentParam->script = text;
        return true;
    }
    default:
        return true;
    }
}

bool SaxClassParser::endElement(const QString&, const QString&, const QString& qName)
{
    const Tag tag = tagOf(qName);
    switch (tag) {
    case Tag::Unknown:
        return unknownTag(qName);
    case Tag::ClassList:
        if (state != ClassList)
            return unexpectedTag(qName);
        state = Document;
        return true;
    case Tag::Class: {
        if (state != Class)
            return unexpectedTag(qName);
        if (!classDb->appendDeviceClass(currentClass)) {
            tavolog::warning(tr("[SaxClassParser::] Can't append device class '%1'. File '%2'")
                                 .arg(currentClass->name, fileName));
            return false;
        }
        currentClass = nullptr;
        state = ClassList;
        return true;
    }
    case Tag::Param:
        if (state != Param)
            return unexpectedTag(qName);
        if (!currentClass->appendParamClass(currentParam)) {
            tavolog::error(
                tr("Can't append param '%1'. File '%2'").arg(currentParam->name, fileName));
            return false;
        }
        currentParam = nullptr;
        state = Class;
        return true;
    case Tag::Reference:
        if (state != Reference)
            return unexpectedTag(qName);
        currentClass->references.append(currentReference);
        currentClass->referenceMap.insert(currentReference->name, currentReference);
        currentReference->setParent(currentClass);
        currentReference = nullptr;
        state = Class;
        return true;
    case Tag::Alias:
        if (state != Alias)
            return unexpectedTag(qName);
        currentParam->aliases.append(currentAlias);
        currentParam->aliasMap.insert(currentAlias->name, currentAlias);
        currentAlias->setParent(currentClass);
        currentAlias = nullptr;
        state = Param;
        return true;
    case Tag::VirtualParam:
        if (state != VirtualParam)
            return unexpectedTag(qName);
        if (!currentClass->setVirtualParamClass(currentParam)) {
            tavolog::error(tr("Can't set virtual param class '%1'. File '%2'")
                               .arg(currentParam->name, fileName));
            return false;
        }
        delete currentParam;
        currentParam = nullptr;
        state = Class;
        return true;
    case Tag::Arg:
        if (state != Arg)
            return unexpectedTag(qName);
        state = VirtualParam;
        return true;
    case Tag::Script:
        if (state != Script)
            return unexpectedTag(qName);
        if (m_hasText && !applyText(m_text))
            return false;
        state = VirtualParam;
        return true;
    case Tag::HumanName:
    case Tag::Variants:
    case Tag::MinValue:
    case Tag::MaxValue:
    case Tag::Step:
    case Tag::Oid:
    case Tag::Alarm:
        if (state != valueState(tag))
            return unexpectedTag(qName);
        if (m_hasText && !applyText(m_text))
            return false;
        state = Param;
        return true;
    case Tag::Info:
    case Tag::DefValue:
    case Tag::Access:
        if (state != valueState(tag))
            return unexpectedTag(qName);
        if (m_hasText && !applyText(m_text))
            return false;
        state = ownerState();
        return true;
    }
    return true;
}

bool SaxClassParser::fatalError(const QXmlParseException& exception)
{
    tavolog::xmlFatalError(exception, fileName);
    dataReset();
    return false;
}

QT_WARNING_POP
