#pragma once

#include <QtGlobal>

#include <cstdint>
#include <cstring>

// Copies bytes. The pieces of a result are short (names, numbers, bits), and calling the
// library's copy costs more than the copying: up to 64 bytes are moved as two fixed-size blocks,
// which the compiler turns into a few plain moves (overlapping when the size lies between).
// Always inlined: where the size is known when compiling, only those moves are left.
Q_ALWAYS_INLINE void Short_Copy(void* to, const void* from, qsizetype size) {
    char* const out = static_cast<char*>(to);
    const char* const in = static_cast<const char*>(from);
    // Each block is copied straight, not through a local: a literal copied through one is written
    // to the stack in pieces and read back whole, which stalls until the pieces have landed.
    const auto two = [&]<qsizetype Block>() {
        std::memcpy(out, in, Block);
        std::memcpy(out + size - Block, in + size - Block, Block);
    };
    if (size > 64) {
        std::memcpy(out, in, static_cast<size_t>(size));
    } else if (size >= 32) {
        two.template operator()<32>();
    } else if (size >= 16) {
        two.template operator()<16>();
    } else if (size >= 8) {
        two.template operator()<8>();
    } else if (size >= 4) {
        two.template operator()<4>();
    } else if (size > 0) {
        out[0] = in[0];
        out[size / 2] = in[size / 2];
        out[size - 1] = in[size - 1];
    }
}
