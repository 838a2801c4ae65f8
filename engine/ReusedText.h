#pragma once

#include "ShortCopy.h"

#include <QString>
#include <QStringView>

// Gives `text` `size` characters, to be overwritten through data(), in its own buffer: nothing is
// called when it has them already, as a text filled again and again with the same length has.
Q_ALWAYS_INLINE char16_t* Text_To_Fill(QString& text, qsizetype size) {
    if (text.size() != size || !text.isDetached())
        text.resize(size);
    return reinterpret_cast<char16_t*>(text.data());
}

// Makes `out` hold `text`, writing into its own buffer when that is big enough and not shared:
// a result list decoded into again and again then allocates no text at all.
Q_ALWAYS_INLINE void Assign_Text(QString& out, QStringView text) {
    if (out.size() != text.size() || !out.isDetached()) {
        if (text.isEmpty() && !out.isDetached()) {
            out.clear(); // resizing a shared or null text would allocate a buffer for nothing
            return;
        }
        out.resize(text.size());
    }
    Short_Copy(out.data(), text.utf16(), 2 * text.size());
}
