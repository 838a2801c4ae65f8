#include "SerialLineSource.h"

#include "PasteLineReader.h"

#include <QDateTime>
#include <QSerialPort>
#include <QSerialPortInfo>

namespace {

// A line that never ends (a device sending noise) is cut here and taken as a paste, so memory
// stays bounded.
constexpr qsizetype Longest_Line = qsizetype(16) << 20;

} // namespace

SerialLineSource::SerialLineSource(QObject* parent) : QObject(parent) {}

SerialLineSource::~SerialLineSource() {
    delete Port;
}

QStringList SerialLineSource::Port_Names() {
    QStringList names;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts())
        names.append(port.systemLocation());
    return names;
}

bool SerialLineSource::Is_Running() const {
    return Port && Port->isOpen();
}

bool SerialLineSource::Start(const QString& port_name, qint32 baud_rate) {
    Stop();
    Port = new QSerialPort(port_name);
    Name = port_name;
    Line_Number = 0;
    Unfinished.clear();
    Port->setBaudRate(baud_rate);
    if (!Port->open(QIODevice::ReadOnly)) {
        Failure =
            QStringLiteral("Не удалось открыть порт %1: %2").arg(port_name, Port->errorString());
        delete Port;
        Port = nullptr;
        return false;
    }
    Failure.clear();
    connect(Port, &QSerialPort::readyRead, this, &SerialLineSource::Read_Lines);
    connect(Port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError)
            Fail(Port->errorString());
    });
    return true;
}

void SerialLineSource::Stop() {
    if (!Port)
        return;
    Read_Lines();
    QList<Paste> pastes;
    if (!Unfinished.isEmpty())
        Take_Line(Unfinished, QDateTime::currentMSecsSinceEpoch(), pastes);
    Unfinished.clear();
    Port->disconnect(this);
    Port->close();
    Port->deleteLater(); // Stop may run inside the port's own signal
    Port = nullptr;
    if (!pastes.isEmpty())
        Q_EMIT Pastes_Arrived(pastes);
}

void SerialLineSource::Fail(const QString& reason) {
    Failure = QStringLiteral("Порт %1 потерян: %2").arg(Name, reason);
    Stop();
    Q_EMIT Lost(Failure);
}

void SerialLineSource::Take_Line(QByteArrayView line, qint64 time_ms, QList<Paste>& pastes) {
    ++Line_Number;
    if (line.endsWith('\r'))
        line.chop(1);
    Paste paste;
    if (PasteLineReader::Take_Paste(line, paste.Text)) {
        paste.Line = Line_Number;
        paste.Time_Ms = time_ms;
        pastes.append(std::move(paste));
    }
}

void SerialLineSource::Read_Lines() {
    if (!Port || !Port->isOpen())
        return;
    Unfinished += Port->readAll();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QList<Paste> pastes;
    qsizetype begin = 0;
    for (qsizetype end; (end = Unfinished.indexOf('\n', begin)) >= 0; begin = end + 1)
        Take_Line(QByteArrayView(Unfinished).sliced(begin, end - begin), now, pastes);
    Unfinished.remove(0, begin);
    if (Unfinished.size() > Longest_Line) {
        Take_Line(Unfinished, now, pastes);
        Unfinished.clear();
    }
    if (!pastes.isEmpty())
        Q_EMIT Pastes_Arrived(pastes);
}
