#include "DecoderMessages.h"

namespace DecoderMessages {

UserMessage Load_Failure(SafeFile::ReadFailure failure, const QString& path) {
    if (failure != SafeFile::ReadFailure::Too_Large)
        return SafeFile::Open_Failure_Message(path, QString());
    return {MessageIcon::Information, QStringLiteral("Ошибка"),
            QStringLiteral("Файл %1 больше %2 МБ, шаблоны такого размера не читаются")
                .arg(path, QString::number(SafeFile::Max_Read_Size >> 20))};
}

UserMessage Missing_Template(int type_byte, const QString& path) {
    return {MessageIcon::Information, QStringLiteral("ERROR"),
            QStringLiteral("Не удалось найти шаблон для парсинга пакета. Проверьте поддержку типа "
                           "пакета - %1 в протоколе или наличие в файле: %2")
                .arg(QString::number(type_byte), path)};
}

QString Length_Error(qint64 expected, qint64 actual) {
    return QStringLiteral("Не верный размер парадаваемого пакета. Ожидаемый: %1, фактический: %2")
        .arg(QString::number(expected), QString::number(actual));
}

} // namespace DecoderMessages
