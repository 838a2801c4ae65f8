#pragma once

#include "ShortCopy.h"

#include <QString>
#include <QStringView>

// Resizes a QString or QByteArray (to a size of 0 or more). Within the buffer the text owns alone
// only its size changes, as in Qt's resize, but without a call into the library: the buffers
// filled packet after packet change their length nearly every time.
template <typename Text> Q_ALWAYS_INLINE void Resize_Text(Text& text, qsizetype size) {
    auto& d = text.data_ptr();
    if (d.needsDetach() || size > d.constAllocatedCapacity() - d.freeSpaceAtBegin())
        return text.resize(size);
    d.size = size;
    if (d.constAllocatedCapacity() > 0)
        d.data()[size] = 0; // the terminator Qt keeps after the last character
}

// Gives `text` `size` characters, to be overwritten through data(), in its own buffer.
Q_ALWAYS_INLINE char16_t* Text_To_Fill(QString& text, qsizetype size) {
    Resize_Text(text, size);
    return reinterpret_cast<char16_t*>(text.data_ptr().data());
}

// Makes `out` hold `text`, writing into its own buffer when that is big enough and not shared:
// a result list decoded into again and again then allocates no text at all.
Q_ALWAYS_INLINE void Assign_Text(QString& out, QStringView text) {
    if (out.size() != text.size() || !out.isDetached()) {
        if (text.isEmpty() && !out.isDetached()) {
            out.clear(); // resizing a shared or null text would allocate a buffer for nothing
            return;
        }
        Resize_Text(out, text.size());
    }
    Short_Copy(out.data_ptr().data(), text.utf16(), 2 * text.size());
}
