#include "PacketBuilder.h"

#include <QCloseEvent>

PacketBuilder::PacketBuilder() : QWidget(nullptr) {
    setWindowTitle(QStringLiteral("Конструктор пакетов для парсинга"));
    setFixedSize(849, 484);
}

PacketBuilder::~PacketBuilder() = default;

// The window never closes itself: it hides and lets its owner decide when to destroy it.
void PacketBuilder::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
    Q_EMIT Close();
}
