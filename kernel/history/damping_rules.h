#pragma once

#include "tavo_kernel_export.h"

#include <QCoreApplication>
#include <QString>
#include <QVector>

class QXmlStreamReader;

/**
 * The user's flap damping rules: how long a new alarm state must last before
 * its reactions run, and how many state changes within a window make a
 * parameter flapping. Read from a per-user file of their own; without that
 * file there are no rules and alarm reactions run as they always did.
 */
class TAVO_KERNEL_EXPORT DampingRules
{
    Q_DECLARE_TR_FUNCTIONS(DampingRules)

public:
    /// A device class or parameter name of "*" matches every name.
    struct HoldRule
    {
        QString deviceClass;
        QString param;
        bool everyState = true;
        int state = 0;
        qint64 holdMs = 0;
    };

    struct FlappingRule
    {
        QString deviceClass;
        QString param;
        /// Flapping once more than this many changes fall within the window.
        int changes = 0;
        qint64 windowMs = 0;
    };

    /// Bounds that keep a mistyped file from disabling reactions for days or
    /// from costing memory per parameter without end.
    static constexpr int MaxSeconds = 86400;
    static constexpr int MaxChanges = 1000;

    DampingRules();

    /// Where the per-user file lives: the INI file that the settings store
    /// of organisation "tavo-client" gives to "tavo_flap_damping.xml".
    static QString dampingFilePath();

    /// Reads the per-user file. A missing file gives no rules and no error.
    bool readFile();
    /// Replaces the rules with those of @p path. On failure the rules are
    /// empty, errorString() names the file and the reason, and the error is
    /// logged.
    bool readFile(const QString& path);

    bool isEmpty() const { return m_holdRules.isEmpty() && m_flappingRules.isEmpty(); }
    QString errorString() const { return m_errorString; }
    const QVector<HoldRule>& holdRules() const { return m_holdRules; }
    const QVector<FlappingRule>& flappingRules() const { return m_flappingRules; }

    void addHoldRule(const HoldRule& rule) { m_holdRules.append(rule); }
    void addFlappingRule(const FlappingRule& rule) { m_flappingRules.append(rule); }

    /// The hold of the most specific rule matching the three, 0 when none
    /// matches. A rule naming the class, the parameter or the state exactly
    /// beats one that leaves it to a wildcard; among equals the earlier rule
    /// of the file wins.
    qint64 holdMs(const QString& deviceClass, const QString& param, int state) const;
    /// The most specific flapping rule for the two, by the same precedence;
    /// null when none matches.
    const FlappingRule* flappingRule(const QString& deviceClass, const QString& param) const;

private:
    void readRoot(QXmlStreamReader& reader);
    void readHoldRule(QXmlStreamReader& reader);
    void readFlappingRule(QXmlStreamReader& reader);

    QVector<HoldRule> m_holdRules;
    QVector<FlappingRule> m_flappingRules;
    QString m_errorString;
};
