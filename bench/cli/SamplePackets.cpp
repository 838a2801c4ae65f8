#include "SamplePackets.h"

#include "Workspace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace SamplePackets {

namespace {

const QByteArray Meaning_Template = R"({"packet_data": [
  {"packet_type": -1, "name": "Other", "total_size": 30, "min_size": 2, "data": [
    {"num_byte": 1, "size": -1, "name": "Payload", "format": "hex"}]},
  {"packet_type": 1, "name": "Telemetry", "total_size": 8, "data": [
    {"num_byte": 1, "size": 4, "name": "Time", "format": "time", "signed": false},
    {"num_byte": 5, "size": 2, "name": "Temperature", "scale": 0.1, "unit": "°C"},
    {"num_byte": 7, "size": 1, "name": "Status", "order": "le", "bitmap": [
      {"num_bit": 0, "size": 1, "name": "Alarm", "enum": {"0": "нет", "1": "да"}},
      {"num_bit": 1, "size": 2, "name": "Mode", "format": "dec"}]}]},
  {"packet_type": [{"T": 2, "name": "BeaconA"}, {"T": 3, "name": "BeaconB"}],
   "total_size": 21, "data": [{"num_byte": 1, "size": 20, "name": "Beacon", "format": "hex",
   "order": "be"}]}]})";

} // namespace

bool Write_Workspace(const QString& dir, bool meanings) {
    const Workspace files(dir);
    if (!QDir().mkpath(files.Template_Folder()))
        return false;
    QFile conf(files.Registry_Path());
    const QString json = files.Template_Path(QStringLiteral("sensor1.json"));
    QFile::remove(json);
    QFile keyed(json);
    return conf.open(QIODevice::WriteOnly) && conf.write("[Dev]\nSensor-1=sensor1.json\n") > 0 &&
           (meanings ? keyed.open(QIODevice::WriteOnly) && keyed.write(Meaning_Template) > 0
                     : QFile::copy(QStringLiteral(KIVO_SENSOR_TEMPLATE), json));
}

namespace {

QByteArray Random_Bytes(std::mt19937& random, int count) {
    QByteArray bytes(count, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    return bytes;
}

// A beacon payload whose kind digits (the second digit of byte 5, the first of byte 6) name
// kind 0 to 5, so every decoder and the empty line all occur.
QByteArray Beacon(std::mt19937& random) {
    QByteArray payload = Random_Bytes(random, 20);
    const int kind = static_cast<int>(random() % 6);
    payload[5] = static_cast<char>((payload[5] & 0xF0) | (kind >> 4));
    payload[6] = static_cast<char>((payload[6] & 0x0F) | ((kind & 0x0F) << 4));
    return payload;
}

QByteArray Random_Packet(std::mt19937& random) {
    switch (random() % 4) {
    case 0:
        return QByteArray(1, '\x01') + Random_Bytes(random, random() % 16 ? 7 : 5);
    case 1:
        return QByteArray(1, '\x02') + Beacon(random);
    case 2:
        return QByteArray(1, '\x03') + Beacon(random);
    default:
        return QByteArray(1, static_cast<char>(4 + random() % 250)) +
               Random_Bytes(random, 1 + static_cast<int>(random() % 29));
    }
}

} // namespace

QString Random_Paste(std::mt19937& random) {
    const QByteArray packet = Random_Packet(random);
    switch (random() % 3) {
    case 0:
        return QString::fromLatin1(packet.toBase64());
    case 1:
        return QString::fromLatin1(packet.toHex()).toUpper();
    default:
        return QString::fromLatin1(packet.toHex());
    }
}

bool Write_Log(const QString& path, qint64 count) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    std::mt19937 random(20231114);
    QByteArray block;
    for (qint64 i = 0; i < count; ++i) {
        block += Random_Paste(random).toLatin1();
        block += '\n';
        if (block.size() > (1 << 20)) {
            file.write(block);
            block.clear();
        }
    }
    return file.write(block) == block.size() && Write_Workspace(QFileInfo(path).absolutePath());
}

} // namespace SamplePackets
