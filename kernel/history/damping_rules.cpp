#include "history/damping_rules.h"

#include "foundation/log_p.h"
#include "foundation/xml_stream_p.h"

#include <QFile>
#include <QSettings>
#include <QXmlStreamReader>

namespace {

const QLatin1String Wildcard("*");

QString nameAttribute(const QXmlStreamAttributes& attrs, const QLatin1String& name)
{
    // An omitted name is as open as the wildcard, so the shortest rule reads
    // as "everything".
    return attrs.hasAttribute(name) ? attrs.value(name).toString() : QString(Wildcard);
}

bool matches(const QString& pattern, const QString& name)
{
    return pattern == Wildcard || pattern == name;
}

/// Seconds as given in the file, decimals allowed; -1 when not a number of
/// seconds between @p least and DampingRules::MaxSeconds.
qint64 secondsToMs(const QStringRef& text, double least)
{
    bool ok = false;
    const double seconds = text.trimmed().toDouble(&ok);
    // Written so that NaN fails too.
    if (!ok || !(seconds >= least && seconds <= DampingRules::MaxSeconds))
        return -1;
    return qRound64(seconds * 1000.0);
}

} // namespace

DampingRules::DampingRules() = default;

QString DampingRules::dampingFilePath()
{
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope,
                             QStringLiteral("tavo-client"),
                             QStringLiteral("tavo_flap_damping.xml"));
    return settings.fileName();
}

bool DampingRules::readFile()
{
    const QString path = dampingFilePath();
    if (!QFile::exists(path)) {
        m_holdRules.clear();
        m_flappingRules.clear();
        m_errorString.clear();
        return true;
    }
    return readFile(path);
}

bool DampingRules::readFile(const QString& path)
{
    m_holdRules.clear();
    m_flappingRules.clear();
    m_errorString.clear();

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_errorString =
            tr("Cannot read the flap damping file %1: %2").arg(path, file.errorString());
        tavolog::error(m_errorString);
        return false;
    }
    QXmlStreamReader reader(&file);
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String("flapdamping"))
            readRoot(reader);
        else
            reader.raiseError(tr("Not a flap damping file"));
    }
    if (!reader.hasError() && file.error() != QFile::NoError)
        reader.raiseError(file.errorString());
    if (!reader.hasError())
        return true;

    // Half a file damps in ways the user did not write: all or nothing.
    m_holdRules.clear();
    m_flappingRules.clear();
    m_errorString =
        tr("Failed to read the flap damping file %1 at line %2: %3; flap damping is off")
            .arg(path)
            .arg(reader.lineNumber())
            .arg(reader.errorString());
    tavolog::error(m_errorString);
    return false;
}

void DampingRules::readRoot(QXmlStreamReader& reader)
{
    tavoxml::readChildren(reader, [this, &reader](const QStringRef& name) {
        if (name == QLatin1String("rule"))
            readHoldRule(reader);
        else if (name == QLatin1String("flapping"))
            readFlappingRule(reader);
        else
            tavoxml::skipUnknownElement(reader);
    });
}

void DampingRules::readHoldRule(QXmlStreamReader& reader)
{
    const QXmlStreamAttributes attrs = reader.attributes();
    HoldRule rule;
    rule.deviceClass = nameAttribute(attrs, QLatin1String("class"));
    rule.param = nameAttribute(attrs, QLatin1String("param"));
    const QStringRef state = attrs.value(QLatin1String("state"));
    if (!state.isEmpty() && state != Wildcard) {
        bool ok = false;
        rule.state = state.trimmed().toInt(&ok);
        if (!ok || rule.state < -1 || rule.state > 7) {
            reader.raiseError(tr("the state of a rule must be a number from -1 to 7, not '%1'")
                                  .arg(state.toString()));
            return;
        }
        rule.everyState = false;
    }
    rule.holdMs = secondsToMs(attrs.value(QLatin1String("hold")), 0);
    if (rule.holdMs < 0) {
        reader.raiseError(
            tr("the hold of a rule must be a number of seconds from 0 to %1, not '%2'")
                .arg(MaxSeconds)
                .arg(attrs.value(QLatin1String("hold")).toString()));
        return;
    }
    tavoxml::skipUnknownElement(reader); // a rule is empty; anything inside is ignored
    m_holdRules.append(rule);
}

void DampingRules::readFlappingRule(QXmlStreamReader& reader)
{
    const QXmlStreamAttributes attrs = reader.attributes();
    FlappingRule rule;
    rule.deviceClass = nameAttribute(attrs, QLatin1String("class"));
    rule.param = nameAttribute(attrs, QLatin1String("param"));
    const QStringRef changes = attrs.value(QLatin1String("changes"));
    bool ok = false;
    rule.changes = changes.trimmed().toInt(&ok);
    if (!ok || rule.changes < 1 || rule.changes > MaxChanges) {
        reader.raiseError(tr("the changes of a flapping rule must be a number from 1 to %1, not "
                             "'%2'")
                              .arg(MaxChanges)
                              .arg(changes.toString()));
        return;
    }
    const QStringRef window = attrs.value(QLatin1String("window"));
    rule.windowMs = secondsToMs(window, 0);
    if (rule.windowMs <= 0) {
        reader.raiseError(tr("the window of a flapping rule must be a number of seconds above 0 "
                             "and at most %1, not '%2'")
                              .arg(MaxSeconds)
                              .arg(window.toString()));
        return;
    }
    tavoxml::skipUnknownElement(reader);
    m_flappingRules.append(rule);
}

qint64 DampingRules::holdMs(const QString& deviceClass, const QString& param, int state) const
{
    qint64 hold = 0;
    int best = -1;
    for (const HoldRule& rule : m_holdRules) {
        if (!matches(rule.deviceClass, deviceClass) || !matches(rule.param, param) ||
            (!rule.everyState && rule.state != state))
            continue;
        const int specificity =
            int(rule.deviceClass != Wildcard) + int(rule.param != Wildcard) + int(!rule.everyState);
        if (specificity > best) {
            best = specificity;
            hold = rule.holdMs;
        }
    }
    return hold;
}

const DampingRules::FlappingRule* DampingRules::flappingRule(const QString& deviceClass,
                                                             const QString& param) const
{
    const FlappingRule* found = nullptr;
    int best = -1;
    for (const FlappingRule& rule : m_flappingRules) {
        if (!matches(rule.deviceClass, deviceClass) || !matches(rule.param, param))
            continue;
        const int specificity = int(rule.deviceClass != Wildcard) + int(rule.param != Wildcard);
        if (specificity > best) {
            best = specificity;
            found = &rule;
        }
    }
    return found;
}
