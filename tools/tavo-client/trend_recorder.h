#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVector>

class Device;
class DeviceDb;
class EngineBox;
class HistoryRecorder;
class Param;

/// One parameter of one host, as trends name it.
struct TrendSource
{
    int hostKey = -1;
    QString device;
    QString param;

    bool operator==(const TrendSource& other) const
    {
        return hostKey == other.hostKey && device == other.device && param == other.param;
    }
    bool operator!=(const TrendSource& other) const { return !(*this == other); }
    /// "key|device|param", for the settings.
    QString toString() const;
    static TrendSource fromString(const QString& text);
    /// Where @p param is; a host key of -1 outside a connected host's devices.
    static TrendSource of(const Param* param);
};
uint qHash(const TrendSource& source, uint seed = 0) noexcept;

/**
 * Keeps the values of the parameters the user marks for trending: each is
 * read at the trend period whatever the window shows, and every value read
 * goes into the history (a Value record) and out through valueRecorded(),
 * so that a chart opened later finds the past and then follows the present
 * with the same points. The marks are the user's, kept in the settings.
 *
 * A parameter is found once its host is connected and its device known;
 * until then it is looked for every few seconds.
 */
class TrendRecorder : public QObject
{
    Q_OBJECT

public:
    /// @p recorder may be null: values are then only passed on.
    TrendRecorder(EngineBox* engines, HistoryRecorder* recorder, QObject* parent = nullptr);
    ~TrendRecorder() override;

    void setTrended(const TrendSource& source, bool on);
    bool isTrended(const TrendSource& source) const;
    QVector<TrendSource> trended() const;

    /// Seconds between two reads of a trended parameter; default 10.
    void setPeriod(int seconds);
    int period() const { return m_period; }

    /// The marks of @p user from the settings, replacing the current ones.
    void loadMarks(const QString& user);

    /// The value of @p param as a trend plots it; false for a parameter
    /// that is not a number or has no value read.
    static bool numericValue(const Param* param, double* value);

Q_SIGNALS:
    void valueRecorded(const TrendSource& source, qint64 timeMs, double value);
    void trendedChanged();

private:
    struct Watch
    {
        QPointer<Device> device;
        QPointer<DeviceDb> db;
        int ticketId = -1;
        QMetaObject::Connection read;
    };

    void resolve();
    bool attach(const TrendSource& source, Watch& watch);
    void detach(Watch& watch, const TrendSource& source);
    void saveMarks() const;
    void paramRead(const TrendSource& source, const Param* param);

    EngineBox* m_engines;
    HistoryRecorder* m_recorder;
    QHash<TrendSource, Watch> m_watches;
    QVector<TrendSource> m_order;
    QString m_user;
    int m_period = 10;
    QTimer m_resolve;
};

Q_DECLARE_METATYPE(TrendSource)
