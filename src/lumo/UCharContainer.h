// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>

namespace Talvessa {

// Owned byte buffer with range-tested access; every command and answer on the device wire
// travels in one. Its text form (size plus hex bytes, e.g. 2[ 32 06]) is what logs show.
class UCharContainer {
public:
    explicit UCharContainer(std::int32_t requestedSize = 0);
    UCharContainer(std::int32_t requestedSize, const unsigned char* source);
    UCharContainer(const UCharContainer& source, std::int32_t start, std::int32_t length);
    UCharContainer(const UCharContainer& other);
    UCharContainer(UCharContainer&& other) noexcept;
    UCharContainer& operator=(const UCharContainer& other);
    UCharContainer& operator=(UCharContainer&& other) noexcept;
    ~UCharContainer() = default;

    std::int32_t getSize() const { return size; }
    unsigned char* getData() { return bytes.get(); }
    const unsigned char* getData() const { return bytes.get(); }

    unsigned char& at(std::int32_t pos);
    const unsigned char& at(std::int32_t pos) const;

    UCharContainer& resize(std::int32_t newSize);
    UCharContainer& append(const UCharContainer& other);
    UCharContainer& swapBytes(std::int32_t i, std::int32_t j);

    std::uint32_t toUnsigned() const;
    UCharContainer& fromUnsigned(std::uint32_t value);
    void zeroFill();

private:
    void checkPosition(std::int32_t pos) const;

    std::unique_ptr<unsigned char[]> bytes;
    std::int32_t size = 0;
};

std::ostream& operator<<(std::ostream& out, const UCharContainer& container);

} // namespace Talvessa
