// SPDX-License-Identifier: GPL-3.0-or-later
#include "Exception.h"

namespace __lumo {

Exception::Exception(const std::string& text, const Exception* causedBy)
    : std::runtime_error(text), message(text), cause(causedBy ? causedBy->clone() : nullptr) {}

Exception::Exception(const Exception& other)
    : std::runtime_error(other.message), CopyableException<Exception>(other),
      message(other.message), cause(other.cause ? other.cause->clone() : nullptr) {}

Exception& Exception::operator=(const Exception& other) {
    if (this != &other) {
        std::runtime_error::operator=(other);
        message = other.message;
        cause.reset(other.cause ? other.cause->clone() : nullptr);
    }
    return *this;
}

Exception::~Exception() = default;

const char* Exception::what() const noexcept {
    return message.c_str();
}

Exception* Exception::clone() const {
    return CopyableException<Exception>::clone();
}

std::string Exception::getFullText() const {
    return cause ? message + cause->getFullText() : message;
}

const Exception* Exception::getCause() const {
    return cause.get();
}

ObjectLockedException::ObjectLockedException(const std::string& text) : Exception(text) {}

ObjectLockedException::~ObjectLockedException() = default;

} // namespace __lumo
