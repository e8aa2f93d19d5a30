// Without libFuzzer: a few seconds of generated inputs from a fixed seed, so
// that a failure comes back on the next run. Shared by the fuzz targets. The recorded exchanges of
// the corpus directory (second argument) run first as they are, then as the material of mutations;
// the rest are valid records with random damage and plain noise.

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QRandomGenerator>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
/// Valid pieces of input for the target at hand, which the generated inputs
/// damage and combine; defined beside each target.
QList<QByteArray> fuzzRecords();

namespace {

// As make fuzz's -max_len.
constexpr int MaxInput = 8192;

void run(const QByteArray& input)
{
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.constData()),
                           size_t(input.size()));
}

QByteArray noise(QRandomGenerator& random, int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

QByteArray generated(QRandomGenerator& random, const QList<QByteArray>& records)
{
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
        case 2: // noise
            piece = noise(random, random.bounded(1, 200));
            break;
        case 3: // far too long
            if (random.bounded(20) == 0)
                piece = QByteArray(5000, 'A') + '\n';
            break;
        default:
            break;
        }
        input += piece;
    }
    return input;
}

/// A recorded exchange with a few changes: the cutting, bytes, spans
/// removed or repeated, and pieces of other exchanges or records let in.
QByteArray mutated(QRandomGenerator& random, const QList<QByteArray>& seeds,
                   const QList<QByteArray>& records)
{
    QByteArray input = seeds.at(random.bounded(seeds.size()));
    const int changes = random.bounded(1, 8);
    for (int i = 0; i < changes && input.size() > 1; ++i) {
        const int at = random.bounded(1, input.size());
        const int length = random.bounded(1, qMin(input.size() - at, 64) + 1);
        switch (random.bounded(7)) {
        case 0:
            input[0] = char(random.bounded(256));
            break;
        case 1:
            input[at] = char(random.bounded(256));
            break;
        case 2:
            input.remove(at, length);
            break;
        case 3:
            input.insert(at, input.mid(at, length));
            break;
        case 4: {
            const QByteArray& other = seeds.at(random.bounded(seeds.size()));
            input.insert(at, other.mid(random.bounded(other.size()), length));
            break;
        }
        case 5:
            input.insert(at, records.at(random.bounded(records.size())));
            break;
        default:
            input.insert(at, noise(random, length));
            break;
        }
    }
    input.truncate(MaxInput);
    return input;
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 3;
    QList<QByteArray> records = fuzzRecords();
    records.removeAll(QByteArray());
    if (records.isEmpty()) {
        std::fprintf(stderr, "fuzz smoke: the target gave no records\n");
        return 1;
    }
    QList<QByteArray> seeds;
    if (argc > 2) {
        const QDir corpus(QString::fromLocal8Bit(argv[2]));
        for (const QFileInfo& info : corpus.entryInfoList(QDir::Files, QDir::Name)) {
            QFile file(info.filePath());
            if (file.open(QIODevice::ReadOnly) && file.size() > 0)
                seeds.append(file.read(MaxInput));
        }
        if (seeds.isEmpty()) {
            std::fprintf(stderr, "fuzz smoke: no corpus in %s\n", argv[2]);
            return 1;
        }
    }
    for (const QByteArray& seed : qAsConst(seeds))
        run(seed);

    QRandomGenerator random(20261207);
    QElapsedTimer clock;
    clock.start();
    long runs = 0;
    while (clock.elapsed() < seconds * 1000) {
        run(!seeds.isEmpty() && random.bounded(2) ? mutated(random, seeds, records)
                                                  : generated(random, records));
        ++runs;
    }
    std::printf("fuzz smoke: %d corpus inputs, then %ld generated in %d s, no failure\n",
                int(seeds.size()), runs, seconds);
    return 0;
}
