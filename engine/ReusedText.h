#pragma once

#include "ShortCopy.h"

#include <QString>
#include <QStringView>

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
