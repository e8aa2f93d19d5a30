// Start-up cost of the class database: a generated directory of 200 classes
// of 50 parameters each, every tenth parameter with an alarm script that the
// loader must check in the script engine.

#include "classes/class_db.h"
#include "foundation/app_shared.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QScriptEngine>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int classCount = 200;
constexpr int paramCount = 50;

void writeClassFiles(const QString& dir)
{
    for (int c = 0; c < classCount; ++c) {
        QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<classlist>\n";
        xml += "  <class name=\"C" + QByteArray::number(c) + "\" interface=\"if" +
            QByteArray::number(c) + "\" oid=\"1.3.6.1.4.1." + QByteArray::number(c) + "\">\n";
        for (int p = 0; p < paramCount; ++p) {
            const QByteArray name = "p" + QByteArray::number(p);
            xml += "    <param name=\"" + name + "\" type=\"" + (p % 3 ? "UINT" : "INT") + "\">\n";
            xml += "      <human_name>Parameter " + name + "</human_name>\n";
            xml += "      <info>The [b]" + name + "[/b] value of the line.</info>\n";
            xml += "      <access>RW</access>\n      <defvalue>0</defvalue>\n";
            xml += "      <variants>0:Off,1:On,2:Test</variants>\n";
            if (p % 10 == 0)
                xml += "      <alarm>if (param == 2) return 4; if (param > 2) return 2; return "
                       "-1;</alarm>\n";
            xml += "    </param>\n";
        }
        xml += "    <vparam name=\"alarm\"><arg id=\"a\" param=\"p0\"/><script>return "
               "a;</script></vparam>\n";
        xml += "  </class>\n</classlist>\n";
        QFile file(QDir(dir).filePath(QStringLiteral("class%1.xml").arg(c)));
        if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size())
            qFatal("cannot write the class files");
    }
}

void BM_LoadClassDirectory(benchmark::State& state)
{
    QTemporaryDir dir;
    writeClassFiles(dir.path());
    QScriptEngine engine;
    share::scriptEngine = &engine;
    share::xmlClassesPath = dir.path();

    for (auto _ : state) {
        ClassDb db(nullptr);
        if (db.deviceClassList.size() != classCount + 1)
            state.SkipWithError("not every class was loaded");
        benchmark::DoNotOptimize(db.deviceClassList.data());
    }
    state.counters["classes"] = classCount;
    state.counters["params"] = classCount * paramCount;
    share::scriptEngine = nullptr;
}
BENCHMARK(BM_LoadClassDirectory)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
