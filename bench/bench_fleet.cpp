// One client and a fleet: tavo-nesim serving N hosts of about 50 parameters
// each, tavo-console watching all of them from the host graph the simulator
// writes, every parameter subscribed at a 10 s period, values printed to
// /dev/null. One line per N:
//
//   fleet: hosts=N connected=C values_per_s=V client_cpu_pct=P client_rss_mb=R
//          connect_all_s=T max_value_age_s=A alarm_latency_ms=L
//
// and the simulator's own CPU on a line of its own. Values, CPU and memory
// are taken in the steady state, from one period after the start to the end
// of the run; the latency runs from the moment the simulator handed a value
// of an alarm parameter to the system to the client's paramStateChanged for
// it, the worst case of the run.
//
//   bench_fleet [--hosts=100,500,1000,2000] [--seconds=35] [--period=10]

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

// About 50 parameters a host: three E1 ports of 14 (bits and the computed
// total included) and two power supplies of 4. Alarm parameters move so that
// states change during the run: "los" every 25 or 35 s, "temp" and "load" at
// random across their thresholds.
const char* const Scenario = "seed 11\n"
                             "device E1 1 1\n  flip los 25\n  counter crc_errors 0 3\n"
                             "  random slips_0 0 100\n  cycle status 0,1,3,1 7\n  text label A\n"
                             "device E1 2 2\n  flip los 35\n  random crc_errors 0 50\n"
                             "device E1 3 3\n  random crc_errors 0 50\n  wave slips_1 0 100 60\n"
                             "device PSU 1 4\n  wave v_in 46 52 20\n  random temp 40 75\n"
                             "  random load 10 95\n"
                             "device PSU 2 5\n  wave v_out 11.8 12.2 15\n  random temp 40 75\n";
const char* const AlarmParams = "los,temp,load";

struct CpuSample
{
    double seconds = 0;
    qint64 rssKiB = 0;
};

/// CPU time (user and system) and peak resident memory of a process.
CpuSample sample(qint64 pid)
{
    CpuSample result;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray text = stat.readAll();
        // The fields after the command name, which may hold spaces.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        const double ticks = double(sysconf(_SC_CLK_TCK));
        result.seconds = (fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks;
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                result.rssKiB = line.mid(6).simplified().split(' ').value(0).toLongLong();
        }
    }
    return result;
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::msleep(50);
    }
    return true;
}

/// Worst time from a traced send to the state change it caused: for each
/// state change the last send of that host's parameter before it.
double alarmLatencyMs(const QString& tracePath, const QList<QByteArray>& states)
{
    QHash<QByteArray, QVector<qint64>> sends; // "port device param" -> send times
    QFile trace(tracePath);
    if (!trace.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : trace.readAll().split('\n')) {
        const QList<QByteArray> w = line.split(' ');
        if (w.size() == 5)
            sends[w.at(1) + ' ' + w.at(2) + ' ' + w.at(3)].append(w.at(0).toLongLong());
    }
    double worst = -1;
    for (const QByteArray& line : states) {
        const QList<QByteArray> w = line.split(' ');
        if (w.size() != 6)
            continue;
        const qint64 changed = w.at(1).toLongLong();
        const QVector<qint64> times = sends.value(w.at(2) + ' ' + w.at(3) + ' ' + w.at(4));
        auto after = std::upper_bound(times.cbegin(), times.cend(), changed);
        if (after == times.cbegin())
            continue;
        worst = qMax(worst, double(changed - *(after - 1)) / 1000.0);
    }
    return worst;
}

bool runFleet(int hosts, int seconds, int period)
{
    QTemporaryDir dir;
    const QString tmp = dir.path();
    QFile scenario(tmp + QStringLiteral("/scenario.txt"));
    if (!scenario.open(QIODevice::WriteOnly) || scenario.write(Scenario) < 0)
        return false;
    scenario.close();

    // The user's files (host graph, history) live in the run's own folder.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), tmp);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), tmp + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), tmp + QStringLiteral("/data"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));

    const QString portFile = tmp + QStringLiteral("/ports");
    const QString traceFile = tmp + QStringLiteral("/trace");
    QProcess simulator;
    simulator.setProcessEnvironment(environment);
    simulator.setStandardOutputFile(QProcess::nullDevice());
    simulator.start(QStringLiteral(TAVO_NESIM_BIN),
                    {QStringLiteral("--classes=" TAVO_DEMO_DIR "/xml_classes"),
                     QStringLiteral("--scenario=%1").arg(scenario.fileName()),
                     QStringLiteral("--hosts=%1").arg(hosts), QStringLiteral("--port=0"),
                     QStringLiteral("--port-file=%1").arg(portFile),
                     QStringLiteral("--host-graph=user"),
                     QStringLiteral("--trace-params=%1").arg(QLatin1String(AlarmParams)),
                     QStringLiteral("--trace-file=%1").arg(traceFile)});
    if (!waitFor([&] { return QFileInfo(portFile).size() > 0; }, 60000)) {
        std::fprintf(stderr, "bench_fleet: the simulator of %d hosts did not start\n", hosts);
        return false;
    }

    const int warmup = period + 5;
    const QString statsFile = tmp + QStringLiteral("/stats");
    QProcess client;
    client.setProcessEnvironment(environment);
    client.setStandardOutputFile(QProcess::nullDevice());
    client.setStandardErrorFile(tmp + QStringLiteral("/client.err"));
    client.start(
        QStringLiteral(TAVO_CONSOLE_BIN),
        {QStringLiteral("--resdir=" TAVO_DEMO_DIR), QStringLiteral("--plugdir=" TAVO_PLUGINS_DIR),
         QStringLiteral("--period=%1").arg(period), QStringLiteral("--duration=%1").arg(seconds),
         QStringLiteral("--connect-timeout=%1").arg(seconds),
         QStringLiteral("--stats=%1").arg(statsFile),
         QStringLiteral("--stats-after=%1").arg(warmup)});
    if (!client.waitForStarted(10000))
        return false;
    const qint64 clientPid = client.processId();
    const qint64 simulatorPid = simulator.processId();

    // CPU over the same window as the values: after the connections and the
    // first period, to shortly before the client ends.
    QThread::sleep(unsigned(warmup));
    const CpuSample clientStart = sample(clientPid);
    const CpuSample simulatorStart = sample(simulatorPid);
    QElapsedTimer window;
    window.start();
    QThread::sleep(unsigned(seconds - warmup - 1));
    const CpuSample clientEnd = sample(clientPid);
    const CpuSample simulatorEnd = sample(simulatorPid);
    const double windowSeconds = double(window.elapsed()) / 1000.0;
    client.waitForFinished(30000);
    simulator.terminate();
    simulator.waitForFinished(10000);

    QFile stats(statsFile);
    if (!stats.open(QIODevice::ReadOnly)) {
        QFile err(tmp + QStringLiteral("/client.err"));
        err.open(QIODevice::ReadOnly);
        std::fprintf(stderr, "bench_fleet: the client of %d hosts wrote no figures:\n%s\n", hosts,
                     err.readAll().right(2000).constData());
        return false;
    }
    QHash<QByteArray, qint64> figures;
    QList<QByteArray> states;
    for (const QByteArray& line : stats.readAll().split('\n')) {
        if (line.startsWith("state "))
            states.append(line);
        else if (line.contains(' '))
            figures.insert(line.left(line.indexOf(' ')),
                           line.mid(line.indexOf(' ') + 1).toLongLong());
    }
    const double windowMs = double(qMax<qint64>(1, figures.value("window_ms")));
    const qint64 connectAllMs = figures.value("connect_all_ms", -1);
    std::printf(
        "fleet: hosts=%d connected=%lld values_per_s=%.0f client_cpu_pct=%.1f "
        "client_rss_mb=%.0f connect_all_s=%s max_value_age_s=%.1f alarm_latency_ms=%.1f\n",
        hosts, figures.value("connected"),
        double(figures.value("values_in_window")) * 1000.0 / windowMs,
        100.0 * (clientEnd.seconds - clientStart.seconds) / windowSeconds,
        double(clientEnd.rssKiB) / 1024.0,
        connectAllMs < 0 ? "never"
                         : qPrintable(QString::number(double(connectAllMs) / 1000.0, 'f', 2)),
        double(figures.value("max_value_age_ms")) / 1000.0, alarmLatencyMs(traceFile, states));
    std::printf("simulator: hosts=%d cpu_pct=%.1f rss_mb=%.0f state_changes=%d\n", hosts,
                100.0 * (simulatorEnd.seconds - simulatorStart.seconds) / windowSeconds,
                double(simulatorEnd.rssKiB) / 1024.0, int(states.size()));
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QList<int> fleet {100, 500, 1000, 2000};
    int seconds = 35;
    int period = 10;
    for (const QString& argument : QCoreApplication::arguments().mid(1)) {
        if (argument.startsWith(QLatin1String("--hosts="))) {
            fleet.clear();
            for (const QString& n : argument.mid(8).split(QLatin1Char(',')))
                fleet.append(n.toInt());
        } else if (argument.startsWith(QLatin1String("--seconds="))) {
            seconds = argument.mid(10).toInt();
        } else if (argument.startsWith(QLatin1String("--period="))) {
            period = argument.mid(9).toInt();
        } else {
            std::fprintf(stderr,
                         "usage: bench_fleet [--hosts=100,500,1000,2000] [--seconds=35] "
                         "[--period=10]\n");
            return 2;
        }
    }
    if (seconds < period + 7) {
        std::fprintf(stderr, "bench_fleet: --seconds must leave a window after one period\n");
        return 2;
    }
    bool ok = true;
    for (int hosts : qAsConst(fleet))
        ok = runFleet(hosts, seconds, period) && ok;
    return ok ? 0 : 1;
}
