#pragma once

#include "devices/db_entity.h"
#include "foundation/tavo_global_namespace.h"
#include "foundation/zvector.h"
#include "tavo_kernel_export.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVarLengthArray>
#include <QVector>

#include <memory>

class Adapter;
class Device;
class Param;
class ParamClass;

/// Parameter codes given by a host run from 0 to PARAM_MAX_COUNT - 1.
constexpr int PARAM_MAX_COUNT = 0xA000;

/// How a numeric value is shown; a null pointer means the defaults.
struct PresentationInfo
{
    qint32 radix = 10;
    bool scaled = false;
    float scale = 1.0f;
    float offset = 0.0f;
};

/// One 32-bit value word seen as unsigned, signed or IEEE single.
union TypeChanger {
    TypeChanger()
        : unsignedWord(0)
    {
    }
    TypeChanger(quint32 value)
        : unsignedWord(value)
    {
    }
    TypeChanger(qint32 value)
        : signedInteger(value)
    {
    }
    TypeChanger(float value)
        : ieeeSingle(value)
    {
    }

    quint32 unsignedWord;
    qint32 signedInteger;
    float ieeeSingle;
};

/**
 * A vector of pointers ordered by what they point to (T::operator<), not by
 * address. It never owns the pointed-to objects.
 */
template<typename T> class ZPointerVector : public ZVector<T*>
{
public:
    ZPointerVector()
        : ZVector<T*>(1)
    {
    }

    /// A stable exchange sort: elements that compare equal never change places
    /// with each other directly, so subscribers of equal periods keep their order.
    void sort() override
    {
        for (int i = 1; i < this->count; ++i) {
            for (int j = 0; j < i; ++j) {
                if (*this->data[i] < *this->data[j])
                    std::swap(this->data[i], this->data[j]);
            }
        }
    }
};

/**
 * One flag per argument of a virtual parameter, with a count of the raised
 * ones, so that the script runs once all arguments have reported.
 */
class TAVO_KERNEL_EXPORT ZCheckArray
{
public:
    ZCheckArray() = default;
    ZCheckArray(const ZCheckArray&) = delete;
    ZCheckArray& operator=(const ZCheckArray&) = delete;

    /// Raises flag @p i (ignored outside the array); true once every flag is up.
    bool add(int i);
    /// Lowers every flag.
    void init();
    /// @p n lowered flags.
    void resize(int n);

    int size() const { return m_size; }
    int count() const { return m_count; }
    bool isRaised(int i) const { return i >= 0 && i < m_size && m_flags[i] != 0; }

private:
    std::unique_ptr<quint8[]> m_flags;
    int m_size = 0;
    int m_count = 0;
};

/**
 * The value record of one parameter: type, last read value, pending write
 * value, statistics, limits, fixed values and aliases. Numeric values of every
 * type are kept in one unsigned word (INT and FLOAT as their bit patterns).
 */
class TAVO_KERNEL_EXPORT ParamCore
{
public:
    ParamCore();
    ~ParamCore();
    ParamCore(const ParamCore&) = delete;
    ParamCore& operator=(const ParamCore&) = delete;

    QString typeToString() const;
    bool isNumericType() const;
    /// An alarm parameter has an alarm script.
    bool isAlarmType() const;
    /// The states 0..7 that the alarm script returns somewhere, found as
    /// "return <digit>" in its text; nothing is run.
    QList<Tavo::AlarmType> listAlarmState() const;
    /// Runs @p script as the body of the global function myFunc(value) in
    /// share::scriptEngine and converts its result to a state. A script
    /// that returns nothing, fails to compile or throws gives 0 (EMERG):
    /// an alarm that cannot be computed must be seen, not hidden.
    template<typename T> int calcAlarmState(const QString& script, T value) const;

    static int getValueAsInt(unsigned long value);
    static float getValueAsFloat(unsigned long value);
    static unsigned long fromIntValueTypecast(int value);
    static unsigned long fromFloatValueTypecast(float value);

    /// The key of the first alias (in ascending key order) whose text is
    /// @p text; @p value is left alone when there is none.
    bool findAlias(const QString& text, unsigned long& value) const;
    /// The alias of the read value, or an empty text.
    QString getReadValueAlias() const;
    /// Appends the class's variants and merges its variant names.
    void copyFixedValues(ParamClass* paramClass);

    // Presentation of values as text.
    void getReadValuePresentation(PresentationInfo* info, QString* text, QStringList* parts) const;
    void getReadValueNotStatisticalPresentationString(PresentationInfo* info, QString& text) const;
    void presentAsUint(PresentationInfo* info, QString& text) const;
    void presentAsInt(PresentationInfo* info, QString& text) const;
    void presentAsFloat(PresentationInfo* info, QString& text) const;
    void presentAsAsciiz(QString& text) const;
    void presentAsByteArray(QString& text) const;
    void presentAsFile(QString& text) const;
    void getUintPresentationByRadix(unsigned int value, int radix, QString& text) const;
    void getWritePresentationString(QString& text, unsigned long value,
                                    PresentationInfo* info) const;
    void getWritePresentationString(QString& text, const QByteArray& bytes,
                                    const QString& companion) const;

    QString name;
    QString humanName;
    QString info;
    QString oid;
    qint32 access = 0;
    QByteArray readBytes;
    quint32 readValue = 0;
    bool readValid = false;
    QByteArray writeBytes;
    quint32 writeValue = 0;
    QString writeText;
    bool writePending = false;
    quint32 statisticMinimum = 0;
    quint32 statisticMaximum = 0;
    quint32 statisticSum = 0;
    quint32 statisticSumOfSquares = 0;
    /// 0 when the value is not statistical.
    qint32 statisticCount = 0;
    qint32 spare = 0;
    /// BER type tag of the value on SNMP-like hosts.
    qint32 wireTag = 2;
    Tavo::ParamType type = Tavo::UINT;
    TypeChanger conversionWord;
    /// The creation time, then the time of the last periodic read.
    QTime readTime;
    quint32 defaultValue = 0;
    QByteArray defaultBytes;
    bool hasDefault = false;
    quint32 minimum = 0;
    bool hasMinimum = false;
    quint32 maximum = 0;
    bool hasMaximum = false;
    QVector<quint32> fixedValues;
    QMap<quint32, QString> aliases;
    /// The text of each fixed value, in the order of fixedValues.
    QStringList valueTexts;
    /// -2 while the alarm state has never been computed.
    qint32 alarmCache = -2;
    QString alarmScript;
};

/// One auto-read subscription: read the parameter every period seconds.
extern template int ParamCore::calcAlarmState<int>(const QString&, int) const;
extern template int ParamCore::calcAlarmState<QString>(const QString&, QString) const;

class TAVO_KERNEL_EXPORT Ticket : public QObject
{
    Q_OBJECT

public:
    Ticket(const QString& paramName, int ticketId, int period, QObject* parent);
    ~Ticket() override;

    bool operator<(const Ticket& other) const { return period < other.period; }

    qint32 ticketId;
    /// Seconds.
    qint32 period;
    QString paramName;

private:
    Q_DISABLE_COPY(Ticket)
};

/// A virtual parameter that takes the owner of this record as its argument.
class TAVO_KERNEL_EXPORT VirtualDeps : public QObject
{
    Q_OBJECT

public:
    explicit VirtualDeps(QObject* parent = nullptr);
    ~VirtualDeps() override;

    Param* virtualParameter = nullptr;
    /// Position of the argument in the virtual parameter's argument list.
    qint32 argumentNumber = -1;

private:
    Q_DISABLE_COPY(VirtualDeps)
};

/// One queued write; a write to a bit parameter targets its base parameter.
struct WriteItem
{
    Param* targetParameter = nullptr;
    quint32 value = 0;
    QByteArray bytes;
    QString text;
};

/// A block of byte-array values that it owns; the kernel itself makes none.
class TAVO_KERNEL_EXPORT ParamValueRBuffer : public QObject
{
    Q_OBJECT

public:
    explicit ParamValueRBuffer(int size, QObject* parent = nullptr);
    ~ParamValueRBuffer() override;

    int size() const { return m_size; }
    QByteArray& at(int i) { return m_values[i]; }
    const QByteArray& at(int i) const { return m_values[i]; }

private:
    std::unique_ptr<QByteArray[]> m_values;
    int m_size;

    Q_DISABLE_COPY(ParamValueRBuffer)
};

/**
 * One parameter of a device: its value record, its binding, its links to
 * other parameters (bits of a base parameter, arguments of a virtual one) and
 * its auto-read tickets. Created by its device and destroyed with it.
 */
class TAVO_KERNEL_EXPORT Param : public DbEntity, public ParamCore
{
    Q_OBJECT

public:
    explicit Param(QObject* parent = nullptr);
    /// With the creation time given, so that a device made of many parameters
    /// reads the clock once.
    Param(const QTime& created, QObject* parent);
    ~Param() override;

    // Values read from the host.
    void setReadValue(unsigned long value);
    void setDepParamReadValue(unsigned long value);
    bool setReadStringValue(const QByteArray& text);
    void setReadStatValue(unsigned long value, unsigned long sum, unsigned long sumOfSquares,
                          int count, unsigned long minimum, unsigned long maximum);

    // Values to write.
    bool setWriteValue(unsigned long value);
    bool setWriteValue(const QByteArray& bytes, const QString& text);
    bool setWriteValue(const QString& text);

    /// The parameter that carries this one on the wire: its base, or itself.
    Param* correctForBaseParam();
    /// Folds a write of this bit into the base's pending word; returns the
    /// parameter to which @p value is to be written.
    Param* correctWriteValueForBaseParam(unsigned long& value);

    void sendHasReadSignal();
    void sendAboutToWriteSignal();

    /// Argument @p argumentNumber has reported; true when all have since the
    /// last evaluation.
    bool checkVirtualDeps(int argumentNumber);
    bool scriptEval();

    Device* getDevice() const;

    void createTicket(int ticketId, int period);
    bool deleteTicket(int ticketId);
    void editTicket(int ticketId, int period);

    /// Holds the read scheduler blocked until the next value arrives.
    bool schedulerHold = false;
    bool scriptValid = true;
    QString scriptErrors;
    qint32 indexInDevice = -1;
    bool isVirtual = false;
    bool classFlag = true;
    QString script;
    /// Argument name to the name of the parameter that supplies it.
    QMap<QString, QString> scriptArguments;
    qint32 argumentCount = 0;
    QList<Param*> argumentParameters;
    ZCheckArray argumentCheck;
    QList<VirtualDeps*> dependants;
    QString baseName;
    Param* baseParameter = nullptr;
    qint32 bit = -1;
    QVector<Param*> bitParameters;
    /// Ascending by period; the first is the one the scheduler follows.
    ZPointerVector<Ticket> tickets;
    qint32 readQueueMark = 0;

Q_SIGNALS:
    void signalHasRead(int iInDeviceIndex, ParamCore* pcore);
    void signalAboutToWrite(int iDeviceIndex, const ParamCore* pcore);

private:
    Q_DISABLE_COPY(Param)
};

/**
 * A queue of pointers in two arrays: producers append to the current one; the
 * consumer works through it, carries what stays queued over into the other
 * one, empties the current one and swaps. Each array holds 256 elements
 * before it needs the heap.
 */
template<typename T> class ArraysHandler
{
public:
    using Array = QVarLengthArray<T*, 256>;

    ArraysHandler() = default;
    ArraysHandler(const ArraysHandler&) = delete;
    ArraysHandler& operator=(const ArraysHandler&) = delete;

    void append(T* item) { m_current->append(item); }
    void swapArrays()
    {
        m_index = (m_index + 1) % 2;
        m_current = &m_arrays[m_index];
    }
    void getArrays(Array*& current, Array*& other)
    {
        current = m_current;
        other = &m_arrays[(m_index + 1) % 2];
    }
    Array& current() { return *m_current; }
    const Array& current() const { return *m_current; }
    Array& other() { return m_arrays[(m_index + 1) % 2]; }
    int index() const { return m_index; }
    void clear()
    {
        m_arrays[0].clear();
        m_arrays[1].clear();
    }
    /// Nulls every occurrence of @p item in the current array; the other
    /// array is the consumer's and is left alone.
    void resetData(const T* item)
    {
        for (int i = 0; i < m_current->size(); ++i) {
            if ((*m_current)[i] == item)
                (*m_current)[i] = nullptr;
        }
    }

private:
    Array m_arrays[2];
    Array* m_current = &m_arrays[0];
    int m_index = 0;
};

/**
 * One device of a host: an instance of a device class with its parameters,
 * its queued reads and writes. Created empty by its device database (its
 * parent) and populated on first use.
 *
 * The inherited className is the name of the device class.
 */
class TAVO_KERNEL_EXPORT Device : public DbEntity
{
    Q_OBJECT

public:
    Device(int deviceIndex, int listRevision, QObject* parent);
    ~Device() override;

    bool populateDevice();
    bool devicePostProcessing();
    /// An adapter with one agent per parameter, owned by @p parent.
    Adapter* createAdapter(QObject* parent);

    void appendParamToReadQueryParamList(Param* param, int mark);
    void appendParamToReadQueryVirtualParamList(Param* param, int mark);
    /// The write list takes @p item.
    void appendWriteItem(WriteItem* item);

    /// Ids run from 0 to 999999 and then start again.
    static int getTicketId();
    static int m_iTicketId;

    /// Files @p param under the code @p code the host gave it.
    void setExtParams(int code, Param* param);

    void sendParamHasReadSignal(Param* param);
    void sendAboutToParamWriteSignal(Param* param);
    void sendNotifyMessageSignal(Param* param, DbEntity::NotifyMessage msgCode);

    ArraysHandler<Param> readList;
    ArraysHandler<Param> virtualReadList;
    /// Null until the first write; owns its items.
    QList<WriteItem*>* writeList = nullptr;
    QString interface;
    QString text;
    QString protocolAddress;
    qint32 matchNumber = -1;
    QString matchText;
    qint32 deviceIndex;
    qint32 listRevision;
    QMap<QString, Param*> parametersByName;
    /// In creation order; a parameter's position is its index in device.
    QList<Param*> parameters;
    /// Position = the code the host gave; holes are null.
    QList<Param*> parametersByCode;
    bool inReadDeviceList = false;
    bool inVirtualReadDeviceList = false;
    bool populated = false;
    Tavo::ProtocolType protocol = Tavo::NoProtocol;
    /// For SNMP the OID suffix of the instance, for JSON its address.
    QString protocolText;

Q_SIGNALS:
    void signalParamHasRead(int iParamIndex, int iDeviceIndex, int iEngineIndex,
                            const ParamCore* pcore);
    void signalAboutToParamWrite(int iParamIndex, int iDeviceIndex, int iEngineIndex,
                                 const ParamCore* pcore);
    void signalNotifyMessage(int iParamIndex, int iDeviceIndex, int iEngineIndex,
                             DbEntity::NotifyMessage msgCode);

public Q_SLOTS:
    void slotSetAutoreadPeriod(int iAgentIndex, int& iTicketId, int iPeriodSec);
    void slotDeleteTickets(int& iTicketId);

private:
    Param* makeParam(const QTime& created);
    Q_DISABLE_COPY(Device)
};

Q_DECLARE_METATYPE(ParamCore*)
Q_DECLARE_METATYPE(const ParamCore*)
