// Throughput of kivo-decode end to end: a log of generated Sensor-1 packets (types 01, 02, 03 and
// the catch-all, hex and base64 mixed) read from a file, decoded, and printed as text, JSON Lines
// or CSV to /dev/null, through the same command the executable runs; and as text once more with
// a template whose every field says what it means.
//
//   bench_cli                        the benchmark
//   bench_cli --write-log FILE N     writes N generated packets to FILE and a workspace beside
//                                    it (FILE's directory), for timing the executable itself
#include "DecodeCommand.h"
#include "SamplePackets.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

void Decode_Log(benchmark::State& state, const QStringList& extra_arguments,
                bool meanings = false) {
    const qint64 count = state.range(0);
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("packets.txt"));
    if (!dir.isValid() || !SamplePackets::Write_Log(log, count) ||
        !SamplePackets::Write_Workspace(dir.path(), meanings)) {
        state.SkipWithError("cannot write the packet log");
        return;
    }
    const int null_fd = ::open("/dev/null", O_WRONLY);
    const QStringList arguments =
        QStringList{QStringLiteral("kivo-decode"), QStringLiteral("-C"), dir.path(),
                    QStringLiteral("-d"), QStringLiteral("Sensor-1")} +
        extra_arguments;
    for (auto _ : state) {
        const int in_fd = ::open(QFile::encodeName(log).constData(), O_RDONLY);
        const int status = DecodeCommand::Run(arguments, in_fd, null_fd, null_fd);
        ::close(in_fd);
        if (status == DecodeCommand::Usage_Error)
            state.SkipWithError("usage error");
    }
    ::close(null_fd);
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_Decode_Text(benchmark::State& state) {
    Decode_Log(state, {});
}
void BM_Decode_Json(benchmark::State& state) {
    Decode_Log(state, {QStringLiteral("--json")});
}
void BM_Decode_Csv(benchmark::State& state) {
    Decode_Log(state, {QStringLiteral("--csv")});
}
// Text mode with a template whose every field has meaning keys (goal: 0.8 of the keyless speed).
void BM_Decode_Text_Meanings(benchmark::State& state) {
    Decode_Log(state, {}, true);
}

// The same million pastes in each mode, so that their speeds compare directly.
BENCHMARK(BM_Decode_Text)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Decode_Json)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Decode_Csv)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Decode_Text_Meanings)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--write-log") == 0)
        return SamplePackets::Write_Log(QString::fromLocal8Bit(argv[2]), std::atoll(argv[3])) ? 0
                                                                                              : 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
