// Decoding the Telemetry packet of the sample sensor template: once as the window does it, reading
// the template file for every packet, and once with the template loaded a single time.
#include "DeviceTemplateFile.h"
#include "PacketDecoder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QByteArray Sensor_Json() {
    QFile file(QStringLiteral(KIVO_SENSOR_TEMPLATE));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString Telemetry = QStringLiteral("0100F15365FBFF05");

// Stops the run when a decoding goes wrong, so a broken engine never reports a fast figure.
bool Is_Telemetry(const DecodedPacket& packet) {
    return packet.size() == 6 && packet[1].Value == QLatin1String("1700000000") &&
           packet[5].Value == QLatin1String("01");
}

void Decode_Reading_File(benchmark::State& state) {
    QTemporaryDir dir;
    const QString start = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QDir().mkdir(QStringLiteral("Device"));
    if (!QFile::copy(QStringLiteral(KIVO_SENSOR_TEMPLATE), QStringLiteral("Device/sensor1.json"))) {
        state.SkipWithError("cannot write the template file");
        return;
    }
    for (auto _ : state) {
        const DecodedPacket packet =
            PacketDecoder(QStringLiteral("sensor1.json")).Parse_Packet(Telemetry);
        if (!Is_Telemetry(packet)) {
            state.SkipWithError("wrong decoding");
            break;
        }
        benchmark::DoNotOptimize(packet.constData());
    }
    QDir::setCurrent(start);
}
BENCHMARK(Decode_Reading_File);

void Decode_Loaded_Once(benchmark::State& state) {
    const DeviceTemplateFile file = DeviceTemplateFile::From_Json(Sensor_Json());
    const PacketDecoder decoder(QStringLiteral("sensor1.json"));
    for (auto _ : state) {
        const DecodedPacket packet = decoder.Parse_Packet(file, Telemetry);
        if (!Is_Telemetry(packet)) {
            state.SkipWithError("wrong decoding");
            break;
        }
        benchmark::DoNotOptimize(packet.constData());
    }
}
BENCHMARK(Decode_Loaded_Once);

} // namespace

BENCHMARK_MAIN();
