#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

/// How one parameter's value moves with time (seconds since start).
struct Dynamic
{
    enum Kind { Constant, Counter, Wave, Flip, Random, Cycle, Text };
    Kind kind = Constant;
    double a = 0; // constant value, counter start, wave minimum, random minimum
    double b = 0; // counter step per second, wave maximum, random maximum
    double period = 1;
    QVector<double> steps; // cycle values
    QString text;
};

struct SimParam
{
    QString name;
    int code = -1;
    int type = 0; // Tavo::ParamType
    bool hasDynamic = false;
    Dynamic dynamic;
    bool written = false;
    quint32 writtenWord = 0;
    QByteArray writtenBytes;
};

struct SimDevice
{
    QString className;
    int tag = 0;
    int code = 0;
    QVector<SimParam> params;
    // Present for up seconds, then absent for down seconds; 0: always there.
    double up = 0;
    double down = 0;
    bool present = true;
    // A controlling device: a write of t to its "create" parameter makes a
    // device of this class with tag t on code firstControlledCode + t; a
    // write to "destroy" removes the one of tag t, or all of them for 0.
    QString controlledClass;
    int firstControlledCode = 0;
    // Destroyed by a controlling device: gone until it is created again.
    bool destroyed = false;

    bool presentAt(double t) const;
    QString name() const;
};

/**
 * The simulated network element: devices of classes from the class files,
 * each parameter with a value that moves with time. Deterministic: the same
 * seed and the same times give the same values.
 */
class Scenario
{
public:
    /// The class database must be published; false with @p error on a bad line.
    bool load(const QString& path, QString* error);
    /// A device of @p className with its parameters as the client makes
    /// them; false when the class is unknown.
    static bool makeDevice(const QString& className, int tag, int code, SimDevice& device);

    quint32 valueWord(const SimDevice& device, const SimParam& param, double t) const;
    QByteArray textValue(const SimParam& param) const;
    bool isText(const SimParam& param) const;

    QVector<SimDevice> devices;
    quint32 seed = 1;
};
