#pragma once

#include "PacketRows.h"
#include "TemplateChoice.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

// Decodes a whole packet log off the GUI thread: the lines of a file, or the pastes of rows kept
// from an earlier decoding (after the template changed). Rows come back in batches through
// Rows_Ready, on the thread that owns the loader, so the table fills as they come in.
class PacketLogLoader : public QObject {
    Q_OBJECT

  public:
    explicit PacketLogLoader(QObject* parent = nullptr);
    ~PacketLogLoader() override;

    // Starts reading `path`; false, with the reason in Problem(), when it cannot be opened.
    bool Load_File(const QString& path, std::shared_ptr<const TemplateChoice> choice);
    // Decodes the pastes of `rows` again with `choice`, keeping their lines and times.
    void Decode_Again(PacketRows rows, std::shared_ptr<const TemplateChoice> choice);
    // Stops the work; the rows decoded so far still arrive.
    void Cancel();
    // Stops the work and drops what it decoded: nothing more arrives, Finished included.
    void Abandon();
    bool Is_Running() const { return Worker.joinable(); }
    const QString& Problem() const { return Failure; }
    // How far the work is, 0 to 1000.
    int Progress() const { return Done_Permille.load(); }

  Q_SIGNALS:
    // Take the rows with std::move; the batch is empty afterwards either way.
    void Rows_Ready(PacketRows& rows);
    // The work ended: `problem` is empty, or says why it stopped early (a read error, a cancel).
    void Finished(const QString& problem);

  private:
    void Start(std::function<void()> work);
    // On the worker: hands a batch over and wakes the owner's thread once.
    void Hand_Over(PacketRows& batch, bool last);
    // On the owner's thread.
    void Take_Rows();

    std::thread Worker;
    std::atomic<bool> Cancelled{false};
    std::atomic<bool> Wake_Posted{false};
    std::atomic<int> Done_Permille{0};
    std::mutex Lock;              // guards the three below
    std::condition_variable Room; // Pending was taken, or the work is cancelled
    PacketRows Pending;
    bool Done = false;
    QString Stop_Reason;
    QString Failure;
};
