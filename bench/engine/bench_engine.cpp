// Decoding the Telemetry packet of the sample sensor template: once as the window does it, reading
// the template file for every packet, and once with the template loaded a single time.
#include "DeviceTemplateFile.h"
#include "PacketDecoder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const QByteArray Sensor_Json = R"({"packet_data":[
 {"packet_type":-1,"name":"Other","total_size":30,"min_size":2,
  "data":[{"num_byte":1,"size":-1,"name":"Payload"}]},
 {"packet_type":1,"name":"Telemetry","total_size":8,"data":[
  {"num_byte":1,"size":4,"name":"Time"},{"num_byte":5,"size":2,"name":"Temperature"},
  {"num_byte":7,"size":1,"name":"Status","bitmap":[
   {"num_bit":0,"size":1,"name":"Alarm"},{"num_bit":1,"size":2,"name":"Mode"}]}]},
 {"packet_type":[{"T":2,"name":"BeaconA"},{"T":3,"name":"BeaconB"}],"total_size":21,
  "data":[{"num_byte":1,"size":20,"name":"Beacon"}]}]})";

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
    QFile file(QStringLiteral("Device/sensor1.json"));
    if (!file.open(QIODevice::WriteOnly) || file.write(Sensor_Json) != Sensor_Json.size()) {
        state.SkipWithError("cannot write the template file");
        return;
    }
    file.close();
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
    const DeviceTemplateFile file = DeviceTemplateFile::From_Json(Sensor_Json);
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
