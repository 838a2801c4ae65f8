// One press on "Конвертировать" with the Telemetry packet, from the press to the filled output
// pane, offscreen. The template file is read anew at every conversion, as in the program.
#include "MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

const char* const Sensor_Json = R"({"packet_data": [
  {"packet_type": -1, "name": "Other", "total_size": 30, "min_size": 2,
   "data": [{"num_byte": 1, "size": -1, "name": "Payload"}]},
  {"packet_type": 1, "name": "Telemetry", "total_size": 8,
   "data": [{"num_byte": 1, "size": 4, "name": "Time"},
            {"num_byte": 5, "size": 2, "name": "Temperature"},
            {"num_byte": 7, "size": 1, "name": "Status", "bitmap": [
              {"num_bit": 0, "size": 1, "name": "Alarm"},
              {"num_bit": 1, "size": 2, "name": "Mode"}]}]},
  {"packet_type": [{"T": 2, "name": "BeaconA"}, {"T": 3, "name": "BeaconB"}], "total_size": 21,
   "data": [{"num_byte": 1, "size": 20, "name": "Beacon"}]}]})";

QPushButton* Convert_Button(MainWindow& window) {
    for (QPushButton* button : window.findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("Конвертировать"))
            return button;
    return nullptr;
}

void BM_ConvertTelemetry(benchmark::State& state) {
    MainWindow window;
    window.show();
    window.findChild<QLineEdit*>()->setText(QStringLiteral("0100F15365FBFF05"));
    QPushButton* button = Convert_Button(window);
    QPlainTextEdit* pane = window.findChild<QPlainTextEdit*>();
    for (auto _ : state) {
        Q_EMIT button->pressed();
        benchmark::DoNotOptimize(pane->document()->characterCount());
    }
    if (!pane->toPlainText().contains(QStringLiteral("Mode: --- 01")))
        state.SkipWithError("the packet was not decoded");
}
BENCHMARK(BM_ConvertTelemetry)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // The window reads the remembered device from the user's settings: a test location instead.
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir work_dir;
    if (!work_dir.isValid() || !QDir::setCurrent(work_dir.path()) ||
        !QDir().mkdir(QStringLiteral("Device")))
        return 1;
    QFile file(QStringLiteral("Device/sensor1.json"));
    if (!file.open(QIODevice::WriteOnly) || file.write(Sensor_Json) < 0)
        return 1;
    file.close();
    {
        QSettings settings(QStringLiteral("Dev.conf"), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Dev/Sensor-1"), QStringLiteral("sensor1.json"));
    }
    // The one diagnostic line per conversion goes to the terminal otherwise; measure it with
    // QT_LOGGING_RULES=kivo.conversion.debug=true (and stderr sent elsewhere).
    QLoggingCategory::setFilterRules(QStringLiteral("kivo.conversion.debug=false"));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
