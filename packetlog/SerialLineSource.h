#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class QSerialPort;

// Lines arriving on a serial port, one paste each, read as the packet log reads a file's lines:
// LF or CR LF ends, UTF-8, blank and "#" lines skipped. Each paste comes with its arrival time
// and its line number on the port since Start.
class SerialLineSource : public QObject {
    Q_OBJECT

  public:
    struct Paste {
        QString Text;
        qint64 Line = 0;
        qint64 Time_Ms = 0;
    };

    explicit SerialLineSource(QObject* parent = nullptr);
    ~SerialLineSource() override;

    // Opens the port; false with the reason in Problem() when it cannot be opened.
    bool Start(const QString& port_name, qint32 baud_rate);
    // Closes the port; a last line without its end is taken as it is.
    void Stop();
    bool Is_Running() const;
    const QString& Problem() const { return Failure; }
    const QString& Port_Name() const { return Name; }

    // The ports the system lists, by name (a path such as /dev/ttyUSB0 works as well).
    static QStringList Port_Names();

  Q_SIGNALS:
    void Pastes_Arrived(const QList<SerialLineSource::Paste>& pastes);
    // The port went away (unplugged) or failed; the source has stopped.
    void Lost(const QString& reason);

  private:
    void Read_Lines();
    void Take_Line(QByteArrayView line, qint64 time_ms, QList<Paste>& pastes);
    void Fail(const QString& reason);

    QSerialPort* Port = nullptr;
    QString Name;
    QString Failure;
    QByteArray Unfinished; // bytes after the last line end
    qint64 Line_Number = 0;
};
