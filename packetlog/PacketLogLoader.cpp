#include "PacketLogLoader.h"

#include "PacketRowMaker.h"
#include "PasteLineReader.h"
#include "SafeFile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Rows are handed over in batches of this many, so the table grows smoothly without a wake-up
// per row.
constexpr qsizetype Batch_Rows = 16384;
// The worker waits while this many rows wait for the window: memory stays bounded when the
// window is busy, and a cancel stops the work within a few batches of what the table shows.
constexpr qsizetype Max_Rows_Ahead = 4 * Batch_Rows;

} // namespace

PacketLogLoader::PacketLogLoader(QObject* parent) : QObject(parent) {}

PacketLogLoader::~PacketLogLoader() {
    Cancel();
    if (Worker.joinable())
        Worker.join();
}

void PacketLogLoader::Cancel() {
    Cancelled = true;
    const std::lock_guard<std::mutex> guard(Lock); // a worker waiting for room sees it
    Room.notify_all();
}

void PacketLogLoader::Abandon() {
    if (Worker.joinable()) {
        Cancel();
        Worker.join();
    }
    const std::lock_guard<std::mutex> guard(Lock);
    Pending.Clear();
    Done = false;
    Stop_Reason.clear();
}

void PacketLogLoader::Start(std::function<void()> work) {
    Abandon(); // what earlier work left is not this work's
    Cancelled = false;
    Done_Permille = 0;
    Worker = std::thread(std::move(work));
}

bool PacketLogLoader::Load_File(const QString& path, std::shared_ptr<const TemplateChoice> choice) {
    // Only regular files: a FIFO would block the window at the open, a device such as /dev/zero
    // would never end its first line. A port is the serial source's.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        Failure = QStringLiteral("Не удалось открыть файл %1").arg(path);
        return false;
    }
    Failure.clear();
    const qint64 size = status.st_size;
    Start([this, fd, size, choice = std::move(choice)] {
        PacketRowMaker maker(choice);
        PasteLineReader reader(fd);
        PacketRows batch;
        QString paste;
        while (!Cancelled && reader.Next(paste)) {
            maker.Add(paste, reader.Line(), -1, batch);
            if (batch.Size() >= Batch_Rows) {
                if (size > 0)
                    Done_Permille = int(std::min<qint64>(1000, reader.Bytes_Read() * 1000 / size));
                Hand_Over(batch, false);
            }
        }
        {
            const std::lock_guard<std::mutex> guard(Lock);
            if (reader.Read_Failed())
                Stop_Reason = QStringLiteral("Чтение файла прервано: ошибка ввода-вывода");
            else if (reader.Line_Too_Long())
                Stop_Reason = QStringLiteral("Строка %1 длиннее %2 МиБ: остаток файла не прочитан")
                                  .arg(reader.Line() + 1)
                                  .arg(SafeFile::Max_Read_Size >> 20);
        }
        ::close(fd);
        Hand_Over(batch, true);
    });
    return true;
}

void PacketLogLoader::Decode_Again(PacketRows rows, std::shared_ptr<const TemplateChoice> choice) {
    Failure.clear();
    Start([this, rows = std::move(rows), choice = std::move(choice)] {
        PacketRowMaker maker(choice);
        PacketRows batch;
        for (qsizetype row = 0; row < rows.Size() && !Cancelled; ++row) {
            // The cells after the file: line, input, ...
            const QStringList cells = rows.Cells(row);
            maker.Add(cells.value(2), cells.value(1).toLongLong(), rows.Time_Of(row), batch);
            if (batch.Size() >= Batch_Rows) {
                Done_Permille = int(row * 1000 / rows.Size());
                Hand_Over(batch, false);
            }
        }
        Hand_Over(batch, true);
    });
}

void PacketLogLoader::Hand_Over(PacketRows& batch, bool last) {
    std::unique_lock<std::mutex> guard(Lock);
    Pending.Append(std::move(batch));
    if (last) {
        Done = true;
        if (Cancelled && Stop_Reason.isEmpty())
            Stop_Reason = QStringLiteral("Отменено");
    }
    batch.Clear();
    if (!Wake_Posted.exchange(true))
        QMetaObject::invokeMethod(this, &PacketLogLoader::Take_Rows, Qt::QueuedConnection);
    if (!last)
        Room.wait(guard, [this] { return Cancelled || Pending.Size() < Max_Rows_Ahead; });
}

void PacketLogLoader::Take_Rows() {
    Wake_Posted = false;
    PacketRows rows;
    bool done = false;
    QString reason;
    {
        const std::lock_guard<std::mutex> guard(Lock);
        rows = std::move(Pending);
        Pending.Clear();
        done = Done;
        reason = Stop_Reason;
        Room.notify_all();
    }
    if (rows.Size() > 0)
        Q_EMIT Rows_Ready(rows);
    if (done && Worker.joinable()) {
        Worker.join();
        Done_Permille = 1000;
        Q_EMIT Finished(reason);
    }
}
