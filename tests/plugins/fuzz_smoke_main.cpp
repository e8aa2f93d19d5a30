// Without libFuzzer: a few seconds of generated inputs, valid records with
// random damage and plain noise, from a fixed seed so that a failure comes
// back on the next run.

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QRandomGenerator>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 3;
    const QList<QByteArray> records = {"DEV " + QByteArray("tavo:E1+0001,01").toHex() + "\n",
                                       "DEV " + QByteArray("tavo:PSU+0001,03").toHex() + "\n",
                                       "DEV " + QByteArray("tavo:E1-0001").toHex() + "\n",
                                       "PRM 1 los 0\n",
                                       "PRM 1 label 11\n",
                                       "PRM 3 temp 2\n",
                                       "VAL 1 0 1\n",
                                       "VAL 3 2 4294967295\n",
                                       "STR 1 11 48656c6c6f\n",
                                       "STR 1 11 -\n",
                                       "STAT 1 1 5 10 50 2 1 9\n",
                                       "NTF 1 - 3\n",
                                       "NTF 1 0 7\n",
                                       "ERR 1 2 " + QByteArray("unknown").toHex() + "\n",
                                       "PONG\n",
                                       "VAL 99999 1 1\n",
                                       "PRM 1 " + QByteArray(300, 'x') + " 1\n"};
    QRandomGenerator random(20261207);
    QElapsedTimer clock;
    clock.start();
    long runs = 0;
    while (clock.elapsed() < seconds * 1000) {
        QByteArray input(1, char(random.bounded(256)));
        const int count = random.bounded(1, 40);
        for (int i = 0; i < count; ++i) {
            QByteArray piece = records.at(random.bounded(records.size()));
            switch (random.bounded(6)) {
            case 0: // a flipped byte
                piece[random.bounded(piece.size())] = char(random.bounded(256));
                break;
            case 1: // cut short
                piece.truncate(random.bounded(piece.size()));
                break;
            case 2: { // noise
                piece = QByteArray(random.bounded(1, 200), Qt::Uninitialized);
                for (char& c : piece)
                    c = char(random.bounded(256));
                break;
            }
            case 3: // far too long
                if (random.bounded(20) == 0)
                    piece = QByteArray(5000, 'A') + '\n';
                break;
            default:
                break;
            }
            input += piece;
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.constData()),
                               size_t(input.size()));
        ++runs;
    }
    std::printf("fuzz smoke: %ld inputs in %d s, no failure\n", runs, seconds);
    return 0;
}
