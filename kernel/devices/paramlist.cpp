#include "devices/paramlist.h"

#include "classes/device_class.h"
#include "foundation/app_shared.h"
#include "foundation/log_p.h"
#include "foundation/script_cache_p.h"
#include "foundation/z4utils.h"

#include <QCoreApplication>
#include <QScriptEngine>
#include <QScriptValue>

#include <algorithm>

// ---------------------------------------------------------------------------
// ZCheckArray

bool ZCheckArray::add(int i)
{
    if (i < 0 || i >= m_size)
        return m_count == m_size;
    if (!m_flags[i]) {
        m_flags[i] = 1;
        ++m_count;
    }
    return m_count == m_size;
}

void ZCheckArray::init()
{
    if (m_size > 0)
        std::fill(m_flags.get(), m_flags.get() + m_size, quint8(0));
    m_count = 0;
}

void ZCheckArray::resize(int n)
{
    n = std::max(n, 0);
    m_flags = n > 0 ? std::make_unique<quint8[]>(n) : nullptr;
    m_size = n;
    m_count = 0;
}

// ---------------------------------------------------------------------------
// ParamCore

ParamCore::ParamCore() = default;
ParamCore::~ParamCore() = default;

QString ParamCore::typeToString() const
{
    switch (type) {
    case Tavo::UINT:
        return QStringLiteral("UINT");
    case Tavo::INT:
        return QStringLiteral("INT");
    case Tavo::FLOAT:
        return QStringLiteral("FLOAT");
    case Tavo::ASCIIZ:
        return QStringLiteral("ASCIIZ");
    case Tavo::BYTE_ARRAY:
        return QStringLiteral("BYTE_ARRAY");
    case Tavo::FILE:
        return QStringLiteral("FILE");
    }
    return QStringLiteral("TYPE UNDEFINED");
}

bool ParamCore::isNumericType() const
{
    return type == Tavo::UINT || type == Tavo::INT || type == Tavo::FLOAT;
}

bool ParamCore::isAlarmType() const
{
    return !alarmScript.isEmpty();
}

QList<Tavo::AlarmType> ParamCore::listAlarmState() const
{
    QList<Tavo::AlarmType> states;
    for (int state = Tavo::EMERG; state <= Tavo::DEBUG; ++state) {
        if (alarmScript.contains(QStringLiteral("return %1").arg(state)))
            states.append(Tavo::AlarmType(state));
    }
    return states;
}

template<typename T> int ParamCore::calcAlarmState(const QString& script, T value) const
{
    QScriptEngine* engine = share::scriptEngine;
    if (!engine)
        return Tavo::NORM;
    static const QString functionName = QStringLiteral("myFunc");
    static const QString parameters = QStringLiteral("value");

    QString error;
    QScriptValue result;
    QScriptValue function = scriptcache::function(engine, functionName, parameters, script, &error);
    if (function.isValid()) {
        result = function.call(QScriptValue(), QScriptValueList {QScriptValue(value)});
        if (engine->hasUncaughtException()) {
            error = result.toString();
            engine->clearExceptions();
        }
    }
    if (!error.isEmpty()) {
        if (scriptcache::firstFailure(engine, name, script))
            tavolog::error(QCoreApplication::translate("ParamCore",
                                                       "Alarm script of parameter '%1' fails "
                                                       "(%2): its state is EMERG until it works")
                               .arg(name, error));
        return Tavo::EMERG;
    }
    if (result.toString().isEmpty()) {
        qWarning("Alarm script of parameter '%s' returns nothing: its state is EMERG",
                 qUtf8Printable(name));
        return Tavo::EMERG;
    }
    return result.toInt32();
}

template TAVO_KERNEL_EXPORT int ParamCore::calcAlarmState<int>(const QString&, int) const;
template TAVO_KERNEL_EXPORT int ParamCore::calcAlarmState<QString>(const QString&, QString) const;

int ParamCore::getValueAsInt(unsigned long value)
{
    return Tavo::wordToInt(quint32(value));
}

float ParamCore::getValueAsFloat(unsigned long value)
{
    return Tavo::wordToFloat(quint32(value));
}

unsigned long ParamCore::fromIntValueTypecast(int value)
{
    return Tavo::intToWord(value);
}

unsigned long ParamCore::fromFloatValueTypecast(float value)
{
    return Tavo::floatToWord(value);
}

bool ParamCore::findAlias(const QString& text, unsigned long& value) const
{
    for (auto it = aliases.cbegin(); it != aliases.cend(); ++it) {
        if (it.value() == text) {
            value = it.key();
            return true;
        }
    }
    return false;
}

QString ParamCore::getReadValueAlias() const
{
    return aliases.value(readValue);
}

void ParamCore::copyFixedValues(ParamClass* paramClass)
{
    fixedValues += paramClass->variants;
    // Usually there is nothing to merge with: sharing the class's map then
    // saves every parameter of the class its own copy.
    if (aliases.isEmpty()) {
        aliases = paramClass->variantNames;
        return;
    }
    for (auto it = paramClass->variantNames.cbegin(); it != paramClass->variantNames.cend(); ++it)
        aliases.insert(it.key(), it.value());
}

// ---------------------------------------------------------------------------
// Ticket, VirtualDeps, ParamValueRBuffer

Ticket::Ticket(const QString& paramName, int ticketId, int period, QObject* parent)
    : QObject(parent)
    , ticketId(ticketId)
    , period(period)
    , paramName(paramName)
{
}

Ticket::~Ticket() = default;

VirtualDeps::VirtualDeps(QObject* parent)
    : QObject(parent)
{
}

VirtualDeps::~VirtualDeps() = default;

ParamValueRBuffer::ParamValueRBuffer(int size, QObject* parent)
    : QObject(parent)
    , m_values(std::make_unique<QByteArray[]>(std::max(size, 0)))
    , m_size(std::max(size, 0))
{
}

ParamValueRBuffer::~ParamValueRBuffer() = default;

// ---------------------------------------------------------------------------
// Param

Param::Param(QObject* parent)
    : Param(QTime::currentTime(), parent)
{
}

Param::Param(const QTime& created, QObject* parent)
    : DbEntity(parent)
{
    readTime = created;
}

Param::~Param() = default;

void Param::setReadValue(unsigned long value)
{
    readValue = quint32(value);
    readValid = true;
    statisticCount = 0;
    for (Param* bitParam : qAsConst(bitParameters))
        bitParam->setDepParamReadValue(value);
}

void Param::setDepParamReadValue(unsigned long value)
{
    if (bit < 0)
        return;
    readValue = bit < 32 ? (quint32(value) >> bit) & 1u : 0u;
    readValid = true;
}

bool Param::setReadStringValue(const QByteArray& text)
{
    QByteArray decoded;
    if (!utils::byteArrayHexDecoding(text, decoded, 0)) {
        tavolog::error(tr("[setReadStringValue()] invalid input data - string decoding error"));
        return false;
    }
    readBytes = decoded;
    readValid = true;
    return true;
}

void Param::setReadStatValue(unsigned long value, unsigned long sum, unsigned long sumOfSquares,
                             int count, unsigned long minimum, unsigned long maximum)
{
    if (count <= 0) {
        tavolog::error(tr("[setReadStatValue()] param_count must be greater than 0 param %1")
                           .arg(DbEntity::name));
        return;
    }
    statisticMinimum = quint32(minimum);
    statisticMaximum = quint32(maximum);
    statisticCount = count;
    statisticSum = quint32(sum);
    statisticSumOfSquares = quint32(sumOfSquares);
    readValue = quint32(value);
    readValid = true;
    for (Param* bitParam : qAsConst(bitParameters))
        bitParam->setDepParamReadValue(value);
}

bool Param::setWriteValue(unsigned long value)
{
    if (!baseParameter) {
        writeValue = quint32(value);
        writePending = true;
        for (Param* bitParam : qAsConst(bitParameters))
            bitParam->setWriteValue(value);
    } else if (bit >= 0) {
        writeValue = bit < 32 ? (quint32(value) >> bit) & 1u : 0u;
        writePending = true;
    }
    return true;
}

bool Param::setWriteValue(const QByteArray& bytes, const QString& text)
{
    writePending = true;
    writeBytes = bytes;
    writeText = text;
    return true;
}

bool Param::setWriteValue(const QString& text)
{
    writePending = true;
    writeBytes = text.toLatin1();
    return true;
}

Param* Param::correctForBaseParam()
{
    return baseParameter ? baseParameter : this;
}

Param* Param::correctWriteValueForBaseParam(unsigned long& value)
{
    if (!baseParameter)
        return this;
    if (bit >= 0) {
        // A bit past the word (an over-long bit array) changes nothing.
        const quint32 mask = bit < 32 ? 1u << bit : 0u;
        value = value ? (baseParameter->writeValue | mask) : (baseParameter->writeValue & ~mask);
    }
    return baseParameter;
}

void Param::sendHasReadSignal()
{
    emit signalHasRead(indexInDevice, this);
}

void Param::sendAboutToWriteSignal()
{
    emit signalAboutToWrite(indexInDevice, this);
}

bool Param::checkVirtualDeps(int argumentNumber)
{
    return argumentCheck.add(argumentNumber);
}

bool Param::scriptEval()
{
    QScriptEngine* engine = share::scriptEngine;
    if (!engine)
        return false;

    static const QString functionName = QStringLiteral("vparam");
    const QString parameters = QStringList(scriptArguments.keys()).join(QStringLiteral(", "));
    auto source = [&] {
        return QStringLiteral("function %1(%2) { %3 }").arg(functionName, parameters, script);
    };
    QString error;
    QScriptValue function = scriptcache::function(engine, functionName, parameters, script, &error);
    if (!function.isValid()) {
        tavolog::error(
            tr("Script for param '%1' error: '%2' for '%3'").arg(DbEntity::name, error, source()));
        return false;
    }

    QScriptValueList arguments;
    arguments.reserve(argumentParameters.size());
    for (Param* argument : qAsConst(argumentParameters)) {
        if (argument->type == Tavo::ASCIIZ) {
            const QByteArray& bytes = argument->readBytes;
            const int end = bytes.indexOf('\0');
            arguments << QScriptValue(
                QString::fromLatin1(bytes.constData(), end < 0 ? bytes.size() : end));
        } else {
            argument->conversionWord.unsignedWord = argument->readValue;
            arguments << QScriptValue(argument->conversionWord.signedInteger);
        }
    }

    const QScriptValue value = function.call(QScriptValue(), arguments);
    if (engine->hasUncaughtException())
        engine->clearExceptions(); // the error text is the result, as the call gives it
    const QString result = value.toString();
    if (result.isEmpty()) {
        tavolog::error(tr("Script for param '%1' returns NULL value string: %2")
                           .arg(DbEntity::name, source()));
        return false;
    }
    bool isInteger = false;
    const int number = result.toInt(&isInteger, 10);
    if (isInteger) {
        readValue = Tavo::intToWord(number);
        readValid = true;
        return true;
    }
    if (result == QLatin1String("false")) {
        readValue = 0;
        readValid = false;
        return true;
    }
    if (result == QLatin1String("true")) {
        readValue = 1;
        readValid = true;
        return true;
    }
    tavolog::error(tr("Script for param '%1' returns not integer value string (%2): '%3'")
                       .arg(DbEntity::name, result, source()));
    return false;
}

Device* Param::getDevice() const
{
    return qobject_cast<Device*>(parent());
}

void Param::createTicket(int ticketId, int period)
{
    tickets.append(new Ticket(DbEntity::name, ticketId, period, this));
    tickets.sort();
}

bool Param::deleteTicket(int ticketId)
{
    for (int i = 0; i < tickets.size(); ++i) {
        Ticket* ticket = tickets.get(i);
        if (ticket->ticketId == ticketId) {
            tickets.removeAt(i);
            delete ticket;
            return true;
        }
    }
    return false;
}

void Param::editTicket(int ticketId, int period)
{
    if (period == 0) {
        deleteTicket(ticketId);
        return;
    }
    for (int i = 0; i < tickets.size(); ++i) {
        Ticket* ticket = tickets.get(i);
        if (ticket->ticketId == ticketId) {
            ticket->period = period;
            tickets.sort();
            return;
        }
    }
    createTicket(ticketId, period);
}
