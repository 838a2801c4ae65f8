#pragma once

#include <QByteArray>
#include <QString>

#include <random>

// The Sensor-1 workspace and random packets for it, for the benchmark.
namespace SamplePackets {

// Writes <dir>/Dev.conf (Sensor-1 = sensor1.json) and <dir>/Device/sensor1.json, the sample
// workspace's template: a catch-all of up to 30 bytes, Telemetry for type 01 (time, temperature
// and a status byte with two bit fields) and a 21-byte beacon for types 02 and 03.
// With `meanings`, the template's every field says what it means instead: the tail and the beacon
// in hex, the time a date by its format, the temperature scaled with a unit, the alarm a label,
// the mode a number.
bool Write_Workspace(const QString& dir, bool meanings = false);

// A random paste for that template: types 01, 02, 03 and others, as hex in either case or as
// base64, now and then with a wrong length.
QString Random_Paste(std::mt19937& random);

// Writes `count` such pastes to `path`, one per line, always the same ones, and the workspace
// beside it (the file's directory).
bool Write_Log(const QString& path, qint64 count);

} // namespace SamplePackets
