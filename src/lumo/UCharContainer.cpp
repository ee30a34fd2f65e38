// SPDX-License-Identifier: GPL-3.0-or-later
#include "UCharContainer.h"

#include <algorithm>
#include <cstring>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <stdexcept>

namespace Talvessa {

namespace {

[[noreturn]] void throwSizeError(const char* text, std::int32_t size) {
    std::ostringstream message;
    message << text << "(given size= " << size << ")";
    throw std::runtime_error(message.str());
}

std::unique_ptr<unsigned char[]> allocate(std::int32_t size) {
    return size > 0 ? std::make_unique<unsigned char[]>(static_cast<std::size_t>(size)) : nullptr;
}

} // namespace

UCharContainer::UCharContainer(std::int32_t requestedSize) {
    if (requestedSize < 0)
        throwSizeError(
            "Size of the requested UCharContainer has to be greater than or equal to zero!",
            requestedSize);
    bytes = allocate(requestedSize);
    size = requestedSize;
}

UCharContainer::UCharContainer(std::int32_t requestedSize, const unsigned char* source) {
    if (requestedSize < 0)
        throwSizeError(
            "Size of the requested UCharContainer\nhas to be greater than or equal to zero!",
            requestedSize);
    bytes = allocate(requestedSize);
    size = requestedSize;
    if (requestedSize > 0)
        std::memcpy(bytes.get(), source, static_cast<std::size_t>(requestedSize));
}

UCharContainer::UCharContainer(const UCharContainer& source, std::int32_t start,
                               std::int32_t length) {
    if (start >= source.size)
        throw std::runtime_error("start index behind the end of data!");
    // Widened so that a huge start plus length cannot wrap around and pass the test.
    if (static_cast<std::int64_t>(start) + length > source.size) {
        std::ostringstream message;
        message << "requested length behind the end of data! "
                << "actual: " << source << " request: start/length " << start << " / " << length;
        throw std::runtime_error(message.str());
    }
    if (length == 0)
        length = source.size - start;
    *this = UCharContainer(length, &source.at(start));
}

UCharContainer::UCharContainer(const UCharContainer& other)
    : UCharContainer(other.size, other.bytes.get()) {}

UCharContainer::UCharContainer(UCharContainer&& other) noexcept
    : bytes(std::move(other.bytes)), size(other.size) {
    other.size = 0;
}

UCharContainer& UCharContainer::operator=(const UCharContainer& other) {
    if (this != &other)
        *this = UCharContainer(other);
    return *this;
}

UCharContainer& UCharContainer::operator=(UCharContainer&& other) noexcept {
    bytes = std::move(other.bytes);
    size = other.size;
    other.size = 0;
    return *this;
}

void UCharContainer::checkPosition(std::int32_t pos) const {
    if (size == 0)
        throw std::runtime_error("UCharContainer has zero length!");
    if (pos < 0 || pos >= size) {
        std::ostringstream message;
        message << "UCharContainer\n"
                << "Given position is out of bounds!\n"
                << "given: " << pos << "\n"
                << "bounds 0 / " << size - 1;
        throw std::runtime_error(message.str());
    }
}

unsigned char& UCharContainer::at(std::int32_t pos) {
    checkPosition(pos);
    return bytes[static_cast<std::size_t>(pos)];
}

const unsigned char& UCharContainer::at(std::int32_t pos) const {
    checkPosition(pos);
    return bytes[static_cast<std::size_t>(pos)];
}

UCharContainer& UCharContainer::resize(std::int32_t newSize) {
    if (newSize < 0)
        throwSizeError(
            "Size of the requested UCharContainer\nhas to be greater than  or equal to zero!",
            newSize);
    auto fresh = allocate(newSize);
    const std::int32_t kept = std::min(newSize, size);
    if (kept > 0)
        std::memcpy(fresh.get(), bytes.get(), static_cast<std::size_t>(kept));
    bytes = std::move(fresh);
    size = newSize;
    return *this;
}

UCharContainer& UCharContainer::append(const UCharContainer& other) {
    if (other.size == 0)
        return *this;
    const std::int32_t oldSize = size;
    // Copy first: other may be this very container.
    UCharContainer tail(other);
    resize(oldSize + tail.size);
    std::memcpy(bytes.get() + oldSize, tail.bytes.get(), static_cast<std::size_t>(tail.size));
    return *this;
}

UCharContainer& UCharContainer::swapBytes(std::int32_t i, std::int32_t j) {
    std::swap(at(i), at(j));
    return *this;
}

std::uint32_t UCharContainer::toUnsigned() const {
    if (size > 4)
        throw std::runtime_error("UCharContainer too large to convert to unsigned int!");
    std::uint32_t value = 0;
    for (std::int32_t i = size - 1; i >= 0; --i)
        value = (value << 8) | bytes[static_cast<std::size_t>(i)];
    return value;
}

UCharContainer& UCharContainer::fromUnsigned(std::uint32_t value) {
    resize(0);
    resize(4);
    for (std::size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
    return *this;
}

void UCharContainer::zeroFill() {
    if (size > 0)
        std::memset(bytes.get(), 0, static_cast<std::size_t>(size));
}

std::ostream& operator<<(std::ostream& out, const UCharContainer& container) {
    std::ostringstream text;
    text << std::dec << container.getSize() << "[" << std::hex << std::uppercase
         << std::setfill('0');
    for (std::int32_t i = 0; i < container.getSize(); ++i)
        text << " " << std::setw(2) << static_cast<unsigned>(container.at(i));
    text << "]";
    return out << text.str();
}

} // namespace Talvessa
