// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

namespace __lumo {

// Lets a copy of a derived object be made through a pointer to its base.
template <class Base, class Derived> class CopyableClass {
public:
    virtual ~CopyableClass() = default;
    virtual Base* clone() const { return new Derived(static_cast<const Derived&>(*this)); }
};

// Marks exception classes that can be copied through a pointer to their base.
template <class E> class CopyableException : public CopyableClass<E, E> {};

class Exception : public std::runtime_error, public CopyableException<Exception> {
public:
    explicit Exception(const std::string& text, const Exception* causedBy = nullptr);
    Exception(const Exception& other);
    Exception& operator=(const Exception& other);
    ~Exception() override;

    const char* what() const noexcept override;
    Exception* clone() const override;
    virtual std::string getFullText() const;
    virtual const Exception* getCause() const;

private:
    std::string message;
    std::unique_ptr<Exception> cause;
};

class ObjectLockedException : public Exception {
public:
    explicit ObjectLockedException(const std::string& text);
    ~ObjectLockedException() override;
};

} // namespace __lumo
