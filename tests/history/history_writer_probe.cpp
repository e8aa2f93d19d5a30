// Records continuously into a history database until it is killed, and says
// on stdout what it has queued and what the store has committed, so that a
// test can tell what a kill may lose.
//   history_writer_probe <database> <records per 10 ms tick>

#include "history/history_store.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QStringList>
#include <QTimer>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return 2;
    const int perTick = args.at(2).toInt();

    QFile out;
    if (!out.open(1, QIODevice::WriteOnly | QIODevice::Unbuffered))
        return 2;
    auto say = [&out](const char* what, qint64 n) {
        out.write(QByteArray(what) + ' ' + QByteArray::number(n) + '\n');
    };

    HistoryStore store;
    QString error;
    if (!store.open(args.at(1), &error))
        return 1;
    qint64 next = store.recordCount();
    qint64 committed = next;
    say("start", next);
    QObject::connect(&store, &HistoryStore::recordsWritten, [&](int n) {
        committed += n;
        say("commit", committed);
    });

    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        HistoryRecord r;
        r.kind = HistoryRecord::StateChange;
        r.hostKey = 1;
        r.device = QStringLiteral("PSU_0001");
        r.param = QStringLiteral("temp");
        for (int i = 0; i < perTick; ++i) {
            r.timeMs = QDateTime::currentMSecsSinceEpoch();
            r.state = int(next % 8) - 1;
            r.text = QString::number(next++);
            store.record(r);
        }
        say("queued", next);
    });
    tick.start(10);
    return app.exec();
}
