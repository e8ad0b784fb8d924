// Logical panel and sound slots written into the host's arrays through a remap table, and the
// arithmetic that turns the plug-in's numbers into whole display values without overflowing.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace velqa3 {

inline constexpr int kSlotCount = 256;

// One of the host's arrays seen through its remap table. The remap entries are bytes, so no
// slot can reach past the 256 entries; an index the plug-in must never write (the panel's
// suspension entry) is refused here as well, whatever the table says.
struct SlotArray {
    std::int32_t* values;
    const std::uint8_t (&remap)[kSlotCount];
    int reserved = -1;

    std::int32_t Get(int slot) const { return values[remap[slot]]; }
    void Set(int slot, std::int32_t value) const {
        const int index = remap[slot];
        if (index != reserved) values[index] = value;
    }
    void Set(int slot, bool lit) const { Set(slot, lit ? 1 : 0); }
};

// trunc(value), saturated to the int32 range, and 0 for a value that is not a number.
template <typename Real> std::int32_t Truncated(Real value) {
    if (std::isnan(value)) return 0;
    constexpr Real kHigh = static_cast<Real>(std::numeric_limits<std::int32_t>::max());
    constexpr Real kLow = static_cast<Real>(std::numeric_limits<std::int32_t>::min());
    if (value >= kHigh) return std::numeric_limits<std::int32_t>::max();
    if (value <= kLow) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

// trunc(value / divisor) mod modulus, the sign kept as the display digits have it. Taken in the
// value's own precision (a float reading is divided as a float) and exact for any magnitude,
// so a reading too large for its digits still shows its low digits rather than overflowing.
// Inline, so that at each call the checks on the constant modulus fold away and the remainder
// is a multiplication rather than a division: a frame shows a few dozen digits.
template <typename Real> inline std::int32_t DigitsOf(Real value, Real divisor, Real modulus) {
    const Real quotient = value / divisor;
    // A quotient within the int32 range and a whole modulus: the conversion truncates as trunc
    // does, and the integer remainder is fmod's, exactly and with the same sign, at a fraction
    // of its cost. |trunc(q)| < 2^31 exactly when |q| < 2^31, since 2^31 is whole.
    constexpr Real kInt32Range = static_cast<Real>(2147483648.0);
    if (std::fabs(quotient) < kInt32Range && modulus >= 1 && modulus < kInt32Range &&
        modulus == std::trunc(modulus))
        return static_cast<std::int32_t>(quotient) % static_cast<std::int32_t>(modulus);
    const Real remainder = std::fmod(std::trunc(quotient), modulus);
    return std::isfinite(remainder) ? static_cast<std::int32_t>(remainder) : 0;
}

inline std::int32_t Saturated(std::int64_t value) {
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

inline std::int32_t SaturatedAdd(std::int32_t a, std::int32_t b) {
    return Saturated(std::int64_t{a} + b);
}

// A frame's slot values, gathered in any order and handed to the host in slot order, so that
// where two slots are remapped onto one index the higher slot wins, as the slot list reads.
// The written slots are bits of four words, so handing them over visits only those.
struct SlotBuffer {
    std::int32_t value[kSlotCount];
    std::uint64_t written[kSlotCount / 64] = {};

    void Set(int slot, std::int32_t v) {
        value[slot] = v;
        written[slot >> 6] |= std::uint64_t{1} << (slot & 63);
    }
    void Flush(const SlotArray& out) const {
        for (int word = 0; word < kSlotCount / 64; ++word)
            for (std::uint64_t bits = written[word]; bits != 0; bits &= bits - 1) {
                const int slot = word * 64 + std::countr_zero(bits);
                out.Set(slot, value[slot]);
            }
    }
};

// Where each slot goes, worked out from a remap table. Only where the table puts two slots on
// one index does the order of writing matter, and only the reserved index must be refused;
// every other slot can go straight to its index as it is decided. The table is fixed once the
// settings are read, so the routes are worked out once, but they are rebuilt whenever the table
// differs from the one they came from: comparing 256 bytes costs less than trusting that.
struct SlotRoutes {
    static constexpr std::int16_t kInOrder = -1; // through the slot-ordered buffer

    std::int16_t direct[kSlotCount] = {}; // the host index, or kInOrder
    std::uint8_t builtFrom[kSlotCount] = {};
    int builtForReserved = -1;
    bool built = false;

    void Update(const std::uint8_t (&remap)[kSlotCount], int reserved) {
        if (built && reserved == builtForReserved &&
            std::memcmp(builtFrom, remap, sizeof builtFrom) == 0)
            return;
        int slotsOnIndex[kSlotCount] = {};
        for (std::uint8_t index : remap)
            ++slotsOnIndex[index];
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const int index = remap[slot];
            const bool alone = slotsOnIndex[index] == 1 && index != reserved;
            direct[slot] = alone ? static_cast<std::int16_t>(index) : kInOrder;
        }
        std::memcpy(builtFrom, remap, sizeof builtFrom);
        builtForReserved = reserved;
        built = true;
    }
};

// A frame's writes along the routes: straight into the host's array where a slot has its index
// to itself, and through a SlotBuffer, handed over in slot order by Finish, where it has not.
class RoutedSlots {
  public:
    RoutedSlots(const SlotRoutes& routes, const SlotArray& host) : routes_(routes), host_(host) {}

    void Set(int slot, std::int32_t v) {
        const std::int16_t index = routes_.direct[slot];
        if (index != SlotRoutes::kInOrder)
            host_.values[index] = v;
        else
            inOrder_.Set(slot, v);
    }
    void Set(int slot, bool lit) { Set(slot, lit ? 1 : 0); }
    void Finish() const { inOrder_.Flush(host_); }

  private:
    const SlotRoutes& routes_;
    const SlotArray& host_;
    SlotBuffer inOrder_;
};

} // namespace velqa3
