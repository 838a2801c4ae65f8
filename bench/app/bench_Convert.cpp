// One press on "Конвертировать" with the Telemetry packet, from the press to the filled output
// pane, offscreen. The template file is read anew at every conversion, as in the program.
#include "MainWindow.h"
#include "Workspace.h"

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
    // The window's workspace is the current directory.
    QTemporaryDir work_dir;
    const Workspace files;
    if (!work_dir.isValid() || !QDir::setCurrent(work_dir.path()) ||
        !QDir().mkdir(files.Template_Folder()))
        return 1;
    if (!QFile::copy(QStringLiteral(KIVO_SENSOR_TEMPLATE),
                     files.Template_Path(QStringLiteral("sensor1.json"))))
        return 1;
    {
        QSettings settings(files.Registry_Path(), QSettings::IniFormat);
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
