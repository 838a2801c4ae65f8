#include "HexText.h"

#include <cstdint>
#include <vector>

namespace HexText {

namespace {

// Up to 16 hex digits fit a 64-bit value; wider numbers are converted limb by limb.
QString Wide_Decimal(QStringView hex) {
    // Little-endian limbs of nine decimal digits each.
    std::vector<std::uint32_t> limbs{0};
    constexpr std::uint64_t Limb_Base = 1000000000ULL;
    // Six hex digits (24 bits) at a time keep limb * 2^24 + carry within 64 bits.
    qsizetype position = 0;
    while (position < hex.size()) {
        const qsizetype count = std::min<qsizetype>(6, hex.size() - position);
        std::uint64_t chunk = 0;
        for (qsizetype i = 0; i < count; ++i)
            chunk = (chunk << 4) | static_cast<std::uint64_t>(Digit_Value(hex[position + i]));
        position += count;
        std::uint64_t carry = chunk;
        const std::uint64_t multiplier = 1ULL << (4 * count);
        for (std::uint32_t& limb : limbs) {
            const std::uint64_t product = limb * multiplier + carry;
            limb = static_cast<std::uint32_t>(product % Limb_Base);
            carry = product / Limb_Base;
        }
        while (carry != 0) {
            limbs.push_back(static_cast<std::uint32_t>(carry % Limb_Base));
            carry /= Limb_Base;
        }
    }
    QString text = QString::number(limbs.back());
    for (auto limb = limbs.rbegin() + 1; limb != limbs.rend(); ++limb)
        text += QString::number(*limb).rightJustified(9, QLatin1Char('0'));
    return text;
}

} // namespace

QString Unsigned_Decimal(QStringView hex) {
    for (QChar character : hex) {
        if (Digit_Value(character) < 0)
            return QStringLiteral("0");
    }
    if (hex.size() <= 16) {
        std::uint64_t value = 0;
        for (QChar character : hex)
            value = (value << 4) | static_cast<std::uint64_t>(Digit_Value(character));
        return QString::number(value);
    }
    return Wide_Decimal(hex);
}

} // namespace HexText
