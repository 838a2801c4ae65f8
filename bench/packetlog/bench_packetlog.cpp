// The packet log against kivo-decode on the same million Sensor-1 pastes: the log reads the file
// into its model on its decoding thread while a table view shows the model, kivo-decode --csv
// writes its table to /dev/null. Both count the CPU time of the whole process.
//
// Counters of the log: bytes_per_row, the memory the rows take; longest_stall_ms, the longest
// time the GUI thread's event loop did not come round while the file was read.
#include "DecodeCommand.h"
#include "PacketLogLoader.h"
#include "PacketLogModel.h"
#include "PacketRowMaker.h"
#include "SamplePackets.h"
#include "SerialLineSource.h"
#include "Workspace.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <thread>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

namespace {

constexpr qint64 Count = 1000000;

// The log and its workspace, written once for both benchmarks.
const QString& Log_Path() {
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("packets.txt"));
    static const bool written = SamplePackets::Write_Log(path, Count);
    return written ? path : *new QString();
}

void BM_Packet_Log_Open(benchmark::State& state) {
    if (Log_Path().isEmpty())
        return state.SkipWithError("cannot write the packet log");
    const Workspace workdir(QFileInfo(Log_Path()).path());
    qint64 bytes = 0, rows = 0, longest_stall = 0;
    for (auto _ : state) {
        PacketLogModel model;
        QTableView view;
        view.setModel(&model);
        view.show();
        PacketLogLoader loader;
        const auto choice = PacketRowMaker::Choose(workdir, QStringLiteral("Sensor-1"));
        model.Reset(PacketRowMaker(choice).Header(), false);
        QObject::connect(&loader, &PacketLogLoader::Rows_Ready, &model, &PacketLogModel::Append);
        QEventLoop loop;
        QObject::connect(&loader, &PacketLogLoader::Finished, &loop, &QEventLoop::quit);
        // A tick every 10 ms measures how long the event loop is away.
        QTimer tick;
        QElapsedTimer since;
        tick.setInterval(10);
        QObject::connect(&tick, &QTimer::timeout,
                         [&] { longest_stall = std::max(longest_stall, since.restart()); });
        since.start();
        tick.start();
        if (!loader.Load_File(Log_Path(), choice))
            return state.SkipWithError("cannot open the packet log");
        loop.exec();
        rows = model.Rows().Size();
        bytes = model.Bytes_Used();
    }
    state.counters["rows"] = double(rows);
    state.counters["bytes_per_row"] = double(bytes) / double(std::max<qint64>(rows, 1));
    state.counters["longest_stall_ms"] = double(longest_stall);
    state.SetItemsProcessed(state.iterations() * Count);
}

void BM_Kivo_Decode_Csv(benchmark::State& state) {
    if (Log_Path().isEmpty())
        return state.SkipWithError("cannot write the packet log");
    const int null_fd = ::open("/dev/null", O_WRONLY);
    const QStringList arguments = {QStringLiteral("kivo-decode"),
                                   QStringLiteral("-C"),
                                   QFileInfo(Log_Path()).absolutePath(),
                                   QStringLiteral("-d"),
                                   QStringLiteral("Sensor-1"),
                                   QStringLiteral("--csv"),
                                   QStringLiteral("-i"),
                                   Log_Path()};
    for (auto _ : state)
        DecodeCommand::Run(arguments, -1, null_fd, null_fd);
    ::close(null_fd);
    state.SetItemsProcessed(state.iterations() * Count);
}

// Lines through a pseudo-terminal into the log, as fast as they can be written: a serial source
// is kept up with as long as this rate is well above the port's.
void BM_Serial_Lines(benchmark::State& state) {
    const qint64 lines = state.range(0);
    std::mt19937 random(20231114);
    QByteArray text;
    for (qint64 i = 0; i < lines; ++i)
        text += SamplePackets::Random_Paste(random).toLatin1() + "\r\n";
    QTemporaryDir dir;
    if (!SamplePackets::Write_Workspace(dir.path()))
        return state.SkipWithError("cannot write the workspace");
    for (auto _ : state) {
        int master = -1, slave = -1;
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
            return state.SkipWithError("no pseudo-terminal");
        PacketLogModel model;
        PacketRowMaker maker(
            PacketRowMaker::Choose(Workspace(dir.path()), QStringLiteral("Sensor-1")));
        model.Reset(maker.Header(), true);
        SerialLineSource source;
        QObject::connect(&source, &SerialLineSource::Pastes_Arrived,
                         [&](const QList<SerialLineSource::Paste>& pastes) {
                             PacketRows rows;
                             for (const SerialLineSource::Paste& paste : pastes)
                                 maker.Add(paste.Text, paste.Line, paste.Time_Ms, rows);
                             model.Append(rows);
                         });
        if (!source.Start(QString::fromLocal8Bit(::ttyname(slave)), 921600))
            return state.SkipWithError("cannot open the pseudo-terminal");
        std::thread writer([&] {
            for (qsizetype at = 0; at < text.size();) {
                const ssize_t written =
                    ::write(master, text.constData() + at,
                            size_t(std::min<qsizetype>(4096, text.size() - at)));
                if (written <= 0)
                    break;
                at += written;
            }
        });
        while (model.Rows().Size() < lines)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        writer.join();
        source.Stop();
        ::close(master);
        ::close(slave);
    }
    state.SetItemsProcessed(state.iterations() * lines);
}

BENCHMARK(BM_Serial_Lines)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(BM_Kivo_Decode_Csv)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_Packet_Log_Open)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
