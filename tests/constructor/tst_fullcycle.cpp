// The whole round: open the constructor from the main window, build a device's template by hand,
// save it, close the constructor, pick the new device and decode packets with it.
#include "MainWindow.h"
#include "PacketBuilder.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

namespace {

void Press(QWidget* window, const QString& text) {
    for (QPushButton* button : window->findChildren<QPushButton*>())
        if (button->text() == text)
            return QTest::mouseClick(button, Qt::LeftButton);
    QFAIL(qPrintable(u"no button "_qs + text));
}

// Presses an add button of the constructor and types the new row's three cells.
void Add(PacketBuilder* builder, const QString& button, const QStringList& cells) {
    Press(builder, button);
    QTreeWidgetItem* row = builder->findChild<QTreeWidget*>()->currentItem();
    for (int column = 0; column < cells.size(); ++column)
        row->setText(column, cells[column]);
}

} // namespace

class FullCycleTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void builtTemplateDecodes() {
        QTemporaryDir work_dir;
        const QString start_dir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work_dir.path()));
        QVERIFY(QDir().mkdir(u"Device"_qs));
        {
            MainWindow window;
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            Build_And_Save(window);
            Decode(window);
        }
        QDir::setCurrent(start_dir);
    }

  private:
    void Build_And_Save(MainWindow& window) {
        Press(&window, u"Конструктор"_qs);
        auto* builder = qobject_cast<PacketBuilder*>(QApplication::activeModalWidget());
        QVERIFY(builder && builder->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(builder));

        const QString type = u"Тип пакета"_qs, bytes = u"Поле данных(байт)"_qs;
        Add(builder, type, {u"-1"_qs, u"0"_qs, u"Other"_qs});
        Add(builder, bytes, {u"1"_qs, u"-1"_qs, u"Payload"_qs});
        QTreeWidget* tree = builder->findChild<QTreeWidget*>();
        tree->topLevelItem(0)->setText(1, u"2-30"_qs);
        Add(builder, type, {u"1"_qs, u"0"_qs, u"Telemetry"_qs});
        Add(builder, bytes, {u"1"_qs, u"4"_qs, u"Time"_qs});
        Add(builder, bytes, {u"5"_qs, u"2"_qs, u"Temperature"_qs});
        Add(builder, bytes, {u"7"_qs, u"1"_qs, u"Status"_qs});
        Add(builder, u"Поле данных(бит)"_qs, {u"0"_qs, u"1"_qs, u"Alarm"_qs});
        Add(builder, u"Поле данных(бит)"_qs, {u"1"_qs, u"2"_qs, u"Mode"_qs});
        QCOMPARE(tree->topLevelItem(1)->text(1), u"8"_qs);
        Add(builder, type, {u"2,3"_qs, u"0"_qs, u"BeaconA,BeaconB"_qs});
        Add(builder, bytes, {u"1"_qs, u"20"_qs, u"Beacon"_qs});
        QCOMPARE(tree->topLevelItem(2)->text(1), u"21"_qs);

        const auto edits = builder->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
        edits[0]->setText(u"Sensor-1"_qs);
        edits[1]->setText(u"sensor1"_qs);
        QString answered;
        QTimer::singleShot(0, this, [&answered] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                answered = box->windowTitle() + u'/' + box->text();
                box->close();
            }
        });
        Press(builder, u"Сохранить"_qs);
        QTRY_COMPARE(answered, u"Готово/JSON файл сохранен!"_qs);

        QPointer<PacketBuilder> closing = builder;
        builder->close();
        QTRY_VERIFY(closing.isNull());
    }

    void Decode(MainWindow& window) {
        auto* devices = window.findChild<QComboBox*>();
        QCOMPARE(devices->count(), 1);
        devices->setCurrentText(u"Sensor-1"_qs);
        QCOMPARE(devices->currentText(), u"Sensor-1"_qs);
        auto* input = window.findChild<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly);
        auto* output = window.findChild<QPlainTextEdit*>();

        input->setText(u"0100F15365FBFF05"_qs);
        Press(&window, u"Конвертировать"_qs);
        QCOMPARE(output->toPlainText(), u"\t\t\tSensor-1\nТип пакета: --- Telemetry\nTime: --- "
                                        "1700000000\nTemperature: --- -5\nStatus: --- \n\tAlarm: "
                                        "--- 1\n\tMode: --- 01\n\n\n"_qs);
        input->setText(u"0300112233445016778899AABBCCDDEEFF12348000"_qs);
        Press(&window, u"Конвертировать"_qs);
        QVERIFY2(output->toPlainText().startsWith(
                     u"\t\t\tSensor-1\nТип пакета: --- BeaconB\nBeacon: --- "_qs),
                 qPrintable(output->toPlainText()));
        input->setText(u"0AC0FFEE"_qs);
        Press(&window, u"Конвертировать"_qs);
        QCOMPARE(output->toPlainText(),
                 u"\t\t\tSensor-1\nТип пакета: --- Other\nPayload: --- C0FFEE\n\n\n"_qs);
    }
};

QTEST_MAIN(FullCycleTest)
#include "tst_fullcycle.moc"
