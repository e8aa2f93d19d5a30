// Without libFuzzer: a few seconds of generated inputs from a fixed seed, so
// that a failure comes back on the next run. Shared by the fuzz targets. The
// recorded exchanges of the corpus directory (second argument) run first as
// they are, then as the material of changes, as do the target's own records.

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

QByteArray noise(QRandomGenerator& random, int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

/// A recorded exchange, or a run of valid records (behind a random byte
/// every other time), with a few changes: bytes flipped, spans cut out or
/// repeated, noise, pieces of other exchanges or records let in, and now and
/// then a line far too long.
QByteArray generated(QRandomGenerator& random, const QList<QByteArray>& seeds,
                     const QList<QByteArray>& records)
{
    const bool fromSeed = !seeds.isEmpty() && random.bounded(2);
    QByteArray input =
        fromSeed ? seeds.at(random.bounded(seeds.size())) : noise(random, random.bounded(2));
    for (int i = fromSeed ? 0 : 1 << random.bounded(6); i > 0; --i)
        input += records.at(random.bounded(records.size()));
    for (int changes = random.bounded(8); changes > 0; --changes) {
        const int at = random.bounded(1, input.size() + 1);
        const int length = random.bounded(1, 65);
        const QList<QByteArray>& pieces = random.bounded(2) || seeds.isEmpty() ? records : seeds;
        const QByteArray& piece = pieces.at(random.bounded(pieces.size()));
        switch (random.bounded(6)) {
        case 0: // the first byte too: it may steer the target
            input[random.bounded(input.size())] = char(random.bounded(256));
            break;
        case 1:
            input.remove(at, length);
            break;
        case 2:
            input.insert(at, input.mid(at, length));
            break;
        case 3:
            input.insert(at, piece.mid(random.bounded(piece.size()), length));
            break;
        case 4:
            input.insert(at,
                         random.bounded(20) ? noise(random, length) : QByteArray(5000, 'A') + '\n');
            break;
        default:
            input.insert(at, piece);
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
    QRandomGenerator random(20261207);
    QElapsedTimer clock;
    clock.start();
    long runs = 0;
    for (; runs < seeds.size() || clock.elapsed() < seconds * 1000; ++runs) {
        const QByteArray input =
            runs < seeds.size() ? seeds.at(int(runs)) : generated(random, seeds, records);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.constData()),
                               size_t(input.size()));
    }
    std::printf("fuzz smoke: %d corpus inputs, then %ld generated in %d s, no failure\n",
                int(seeds.size()), runs - seeds.size(), seconds);
    return 0;
}
