// Alarm states per second for a three-line threshold script on INT values:
// the script parsed again on every read, as a naive evaluation does it, and
// compiled once per engine, as ParamCore::calcAlarmState does it.

#include "devices/paramlist.h"
#include "foundation/app_shared.h"

#include <QCoreApplication>
#include <QScriptEngine>

#include <benchmark/benchmark.h>

namespace {

const QString thresholdScript = QStringLiteral("if (value > 80) return 2;\n"
                                               "if (value > 60) return 4;\n"
                                               "return -1;");

int expectedState(int value)
{
    return value > 80 ? 2 : value > 60 ? 4 : -1;
}

void BM_AlarmStateReparsedEveryRead(benchmark::State& state)
{
    QScriptEngine engine;
    const QString source = QStringLiteral("function myFunc(value) { %1 }").arg(thresholdScript);
    int value = 0;
    for (auto _ : state) {
        engine.evaluate(source);
        QScriptValue function = engine.globalObject().property(QStringLiteral("myFunc"));
        const int computed = function.call(QScriptValue(), QScriptValueList {value}).toInt32();
        if (computed != expectedState(value))
            state.SkipWithError("wrong state");
        value = (value + 7) % 100;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AlarmStateReparsedEveryRead);

void BM_AlarmStateCompiledOnce(benchmark::State& state)
{
    QScriptEngine engine;
    share::scriptEngine = &engine;
    ParamCore param;
    param.name = QStringLiteral("temp");
    param.alarmScript = thresholdScript;
    int value = 0;
    for (auto _ : state) {
        if (param.calcAlarmState<int>(param.alarmScript, value) != expectedState(value))
            state.SkipWithError("wrong state");
        value = (value + 7) % 100;
    }
    share::scriptEngine = nullptr;
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AlarmStateCompiledOnce);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
