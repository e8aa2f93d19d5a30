#include "scenario.h"

#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/tavo_global_namespace.h"

#include <QFile>
#include <QTextStream>

#include <cmath>

namespace {

bool number(const QString& text, double& value)
{
    bool ok = false;
    value = text.toDouble(&ok);
    return ok;
}

quint32 mix(quint32 h)
{
    h ^= h >> 16;
    h *= 0x7feb352dU;
    h ^= h >> 15;
    h *= 0x846ca68bU;
    h ^= h >> 16;
    return h;
}

} // namespace

bool SimDevice::presentAt(double t) const
{
    if (up <= 0 || down <= 0)
        return true;
    return std::fmod(t, up + down) < up;
}

QString SimDevice::name() const
{
    QString result;
    DeviceDb::makeUpDeviceName(result, className, tag, 0);
    return result;
}

bool Scenario::makeDevice(const QString& className, int tag, int code, SimDevice& device)
{
    // Parameter lists as the client will make them, from the same classes.
    DeviceDb layout(nullptr, nullptr);
    Device* made = layout.createEmptyDevice(className, tag, 0, code);
    if (!made || !made->populateDevice())
        return false;
    device.className = className;
    device.tag = tag;
    device.code = code;
    device.params.clear();
    for (const Param* param : qAsConst(made->parameters)) {
        if (param->isVirtual)
            continue;
        SimParam sim;
        sim.name = param->DbEntity::name;
        sim.code = param->indexInDevice;
        sim.type = param->type;
        device.params.append(sim);
    }
    return true;
}

bool Scenario::load(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QTextStream in(&file);
    int lineNumber = 0;
    while (!in.atEnd()) {
        const QString raw = in.readLine();
        ++lineNumber;
        const QString line = raw.section(QLatin1Char('#'), 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        const QStringList w = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        auto fail = [&](const QString& why) {
            *error = QStringLiteral("%1:%2: %3: %4").arg(path).arg(lineNumber).arg(why, raw);
            return false;
        };
        const QString& keyword = w.at(0);
        if (keyword == QLatin1String("seed")) {
            if (w.size() != 2)
                return fail(QStringLiteral("seed takes a number"));
            seed = w.at(1).toUInt();
            continue;
        }
        if (keyword == QLatin1String("device")) {
            bool tagOk = false, codeOk = false;
            if (w.size() != 4)
                return fail(QStringLiteral("device takes a class, a tag and a code"));
            SimDevice device;
            const int tag = w.at(2).toInt(&tagOk);
            const int code = w.at(3).toInt(&codeOk);
            if (!tagOk || !codeOk || tag < 0 || tag > 255 || code <= 0 || code > 65535)
                return fail(QStringLiteral("bad tag or code"));
            if (!makeDevice(w.at(1), tag, code, device))
                return fail(QStringLiteral("unknown device class"));
            devices.append(device);
            continue;
        }
        if (devices.isEmpty())
            return fail(QStringLiteral("a device line must come first"));
        SimDevice& device = devices.last();
        if (keyword == QLatin1String("controls")) {
            if (w.size() != 3 || w.at(2).toInt() <= 0)
                return fail(QStringLiteral("controls takes a class and a first device code"));
            device.controlledClass = w.at(1);
            device.firstControlledCode = w.at(2).toInt();
            continue;
        }
        if (keyword == QLatin1String("blink")) {
            if (w.size() != 3 || !number(w.at(1), device.up) || !number(w.at(2), device.down))
                return fail(QStringLiteral("blink takes two durations"));
            continue;
        }
        if (w.size() < 3)
            return fail(QStringLiteral("a dynamic takes a parameter and values"));
        SimParam* param = nullptr;
        for (SimParam& candidate : device.params) {
            if (candidate.name == w.at(1))
                param = &candidate;
        }
        if (!param)
            return fail(QStringLiteral("no such parameter"));
        Dynamic& d = param->dynamic;
        bool ok = true;
        if (keyword == QLatin1String("set")) {
            d.kind = Dynamic::Constant;
            ok = w.size() == 3 && number(w.at(2), d.a);
        } else if (keyword == QLatin1String("counter")) {
            d.kind = Dynamic::Counter;
            ok = w.size() == 4 && number(w.at(2), d.a) && number(w.at(3), d.b);
        } else if (keyword == QLatin1String("wave")) {
            d.kind = Dynamic::Wave;
            ok = w.size() == 5 && number(w.at(2), d.a) && number(w.at(3), d.b) &&
                number(w.at(4), d.period) && d.period > 0;
        } else if (keyword == QLatin1String("flip")) {
            d.kind = Dynamic::Flip;
            ok = w.size() == 3 && number(w.at(2), d.period) && d.period > 0;
        } else if (keyword == QLatin1String("random")) {
            d.kind = Dynamic::Random;
            ok = w.size() == 4 && number(w.at(2), d.a) && number(w.at(3), d.b);
        } else if (keyword == QLatin1String("cycle")) {
            d.kind = Dynamic::Cycle;
            ok = w.size() == 4 && number(w.at(3), d.period) && d.period > 0;
            for (const QString& step : w.value(2).split(QLatin1Char(','))) {
                double value = 0;
                ok = ok && number(step, value);
                d.steps.append(value);
            }
        } else if (keyword == QLatin1String("text")) {
            d.kind = Dynamic::Text;
            d.text = line.section(QLatin1Char(' '), 2, -1, QString::SectionSkipEmpty);
        } else {
            return fail(QStringLiteral("unknown keyword"));
        }
        if (!ok)
            return fail(QStringLiteral("bad values"));
        param->hasDynamic = true;
    }
    return true;
}

bool Scenario::isText(const SimParam& param) const
{
    return param.type == Tavo::ASCIIZ || param.type == Tavo::BYTE_ARRAY;
}

QByteArray Scenario::textValue(const SimParam& param) const
{
    if (param.written)
        return param.writtenBytes;
    return param.dynamic.kind == Dynamic::Text ? param.dynamic.text.toUtf8() : QByteArray();
}

quint32 Scenario::valueWord(const SimDevice& device, const SimParam& param, double t) const
{
    if (param.written)
        return param.writtenWord;
    const Dynamic& d = param.dynamic;
    double value = 0;
    switch (d.kind) {
    case Dynamic::Constant:
        value = d.a;
        break;
    case Dynamic::Counter:
        value = d.a + d.b * std::floor(t);
        break;
    case Dynamic::Wave:
        value = d.a + (d.b - d.a) * (0.5 - 0.5 * std::cos(2 * M_PI * t / d.period));
        break;
    case Dynamic::Flip:
        value = int(std::floor(t / d.period)) % 2;
        break;
    case Dynamic::Random: {
        const quint32 h = mix(seed ^ mix(quint32(device.code) * 65599u + quint32(param.code)) ^
                              mix(quint32(std::floor(t))));
        value = d.a + (d.b - d.a) * (double(h) / 4294967295.0);
        break;
    }
    case Dynamic::Cycle:
        value = d.steps.isEmpty() ? 0 : d.steps.at(int(std::floor(t / d.period)) % d.steps.size());
        break;
    case Dynamic::Text:
        break;
    }
    if (param.type == Tavo::FLOAT)
        return Tavo::floatToWord(float(value));
    if (param.type == Tavo::INT)
        return Tavo::intToWord(qint32(std::llround(value)));
    return quint32(qint64(std::llround(value)) & 0xffffffff);
}
