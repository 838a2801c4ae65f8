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
    const auto two = [&](auto block) {
        constexpr qsizetype n = sizeof block;
        std::memcpy(&block, in, n);
        std::memcpy(out, &block, n);
        std::memcpy(&block, in + size - n, n);
        std::memcpy(out + size - n, &block, n);
    };
    struct Block_16 {
        char Bytes[16];
    };
    struct Block_32 {
        char Bytes[32];
    };
    if (size > 64) {
        std::memcpy(out, in, static_cast<size_t>(size));
    } else if (size >= 32) {
        two(Block_32{});
    } else if (size >= 16) {
        two(Block_16{});
    } else if (size >= 8) {
        two(std::uint64_t{});
    } else if (size >= 4) {
        two(std::uint32_t{});
    } else if (size > 0) {
        out[0] = in[0];
        out[size / 2] = in[size / 2];
        out[size - 1] = in[size - 1];
    }
}
