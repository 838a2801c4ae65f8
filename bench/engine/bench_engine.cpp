// Decoding the Telemetry packet of the sample sensor template: once as the window does it, reading
// the template file for every packet, and once with the template loaded a single time. Then the
// same packet decoded and rendered as text with the keyless template and with one whose every
// field says what it means (the goal: at least 0.8 of the keyless speed).
#include "DeviceTemplateFile.h"
#include "PacketDecoder.h"
#include "ResultRenderer.h"
#include "Workspace.h"

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
    const Workspace files(dir.path());
    const QString path = files.Template_Path(QStringLiteral("sensor1.json"));
    if (!QDir().mkdir(files.Template_Folder()) ||
        !QFile::copy(QStringLiteral(KIVO_SENSOR_TEMPLATE), path)) {
        state.SkipWithError("cannot write the template file");
        return;
    }
    for (auto _ : state) {
        const DecodedPacket packet = PacketDecoder(path).Parse_Packet(Telemetry);
        if (!Is_Telemetry(packet)) {
            state.SkipWithError("wrong decoding");
            break;
        }
        benchmark::DoNotOptimize(packet.constData());
    }
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

// The Telemetry template with a meaning on every field: a date by format, a scaled temperature
// with a unit, a status whose bit groups are a label and a number.
const QByteArray Meaning_Json = R"({"packet_data": [{"packet_type": 1, "name": "Telemetry",
    "total_size": 8, "data": [
    {"num_byte": 1, "size": 4, "name": "Time", "format": "time", "signed": false},
    {"num_byte": 5, "size": 2, "name": "Temperature", "scale": 0.1, "unit": "°C"},
    {"num_byte": 7, "size": 1, "name": "Status", "order": "le", "bitmap": [
        {"num_bit": 0, "size": 1, "name": "Alarm", "enum": {"0": "нет", "1": "да"}},
        {"num_bit": 1, "size": 2, "name": "Mode", "format": "dec"}]}]}]})";

void Decode_And_Render(benchmark::State& state, const QByteArray& json, const char* expected) {
    const DeviceTemplateFile file = DeviceTemplateFile::From_Json(json);
    const PacketDecoder decoder(QStringLiteral("sensor1.json"));
    DecodedPacket packet;
    QByteArray text;
    for (auto _ : state) {
        decoder.Parse_Packet(file, Telemetry, packet);
        text.clear();
        ResultRenderer::Append_Result(text, "Sensor-1", packet);
        benchmark::DoNotOptimize(text.constData());
    }
    if (!text.contains(expected))
        state.SkipWithError("wrong decoding");
}
void Render_Keyless(benchmark::State& state) {
    Decode_And_Render(state, Sensor_Json(), "Mode: --- 01");
}
void Render_With_Meanings(benchmark::State& state) {
    Decode_And_Render(state, Meaning_Json, "Temperature: --- -0.5 °C");
}
BENCHMARK(Render_Keyless);
BENCHMARK(Render_With_Meanings);

} // namespace

BENCHMARK_MAIN();
