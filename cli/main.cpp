#include "DecodeCommand.h"

#include <QCoreApplication>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kivo-decode"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KIVO_VERSION));
    return DecodeCommand::Run(QCoreApplication::arguments());
}
