// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace __lumo {

// A path is a string that knows the directory separator; it only cuts and joins text.
template <class CharT, class StringT, class SizeT> class BasicPathType : public StringT {
public:
    static constexpr CharT separator = CharT('/');

    BasicPathType() = default;
    BasicPathType(const CharT* text) : StringT(text) {}
    BasicPathType(const StringT& text) : StringT(text) {}

    BasicPathType& operator=(const CharT* text) {
        StringT::operator=(text);
        return *this;
    }
    BasicPathType& operator=(const StringT& text) {
        StringT::operator=(text);
        return *this;
    }

    BasicPathType& appendComponent(const StringT& component) {
        StringT::push_back(separator);
        StringT::append(component);
        return *this;
    }

    static BasicPathType joined(const StringT& path, const StringT& component) {
        BasicPathType result(path);
        return result.appendComponent(component);
    }
    static BasicPathType joined(const StringT& path, const CharT* component) {
        return joined(path, StringT(component));
    }

    BasicPathType getParent() const {
        const auto at = StringT::rfind(separator);
        return at == StringT::npos ? BasicPathType() : BasicPathType(StringT::substr(0, at));
    }

    BasicPathType getLastComponent() const {
        const auto at = StringT::rfind(separator);
        return at == StringT::npos ? *this : BasicPathType(StringT::substr(at + 1));
    }
};

using PathType = BasicPathType<char, std::basic_string<char>, unsigned int>;

} // namespace __lumo
