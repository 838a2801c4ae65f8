#include "Utf8Writer.h"

#include "ReusedText.h"

#include <QStringEncoder>

#include <algorithm>

Utf8Writer::Utf8Writer(QByteArray& out) : Out(out) {
    const qsizetype used = Out.size();
    // The array's spare capacity is handed out as written-to room; resizing within the capacity
    // moves no bytes.
    Resize_Text(Out, std::max(Out.capacity(), used + 64));
    At = Out.data_ptr().data() + used;
    End = At - used + Out.size();
}

Utf8Writer::~Utf8Writer() {
    Resize_Text(Out, At - Out.constData());
}

void Utf8Writer::Grow(qsizetype size) {
    const qsizetype used = At - Out.constData();
    Resize_Text(Out, used + std::max(size, Out.size()));
    At = Out.data() + used;
    End = Out.data() + Out.size();
}

void Utf8Writer::Put_Encoded(QStringView text) {
    QStringEncoder encoder(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
    Reserve(encoder.requiredSpace(text.size()));
    At = encoder.appendToBuffer(At, text);
}
