#pragma once

#include <QWidget>

class QCloseEvent;

// The template constructor window.
class PacketBuilder : public QWidget {
    Q_OBJECT

public:
    PacketBuilder();
    ~PacketBuilder() override;

Q_SIGNALS:
    void Close();

protected:
    void closeEvent(QCloseEvent* event) override;
};
