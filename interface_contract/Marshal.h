#pragma once
// Helpers to pass strings and arrays through InArray / OutArray.

#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "interface_contract/Interfaces.h"

namespace Kestrel::InterfaceContract {

inline InArray inArray(std::string_view text) { return InArray{text.data(), uint32_t(text.size())}; }

template <class T>
InArray inArray(const std::vector<T>& values) {
    return InArray{values.data(), uint32_t(values.size())};
}

// Bytes of an InArray of single-byte elements as a string; a null array reads as empty.
inline std::string toString(const InArray* array) {
    if (!array || !array->data || array->count == 0)
        return {};
    return std::string(static_cast<const char*>(array->data), array->count);
}

// OutArray that resizes `target` to the element count and hands out its buffer.
inline OutArray outArray(std::string& target) {
    return OutArray{&target, [](void* context, uint32_t count) -> void* {
                        auto& text = *static_cast<std::string*>(context);
                        text.resize(count);
                        return count ? text.data() : nullptr;
                    }};
}

template <class T>
OutArray outArray(std::vector<T>& target) {
    return OutArray{&target, [](void* context, uint32_t count) -> void* {
                        auto& values = *static_cast<std::vector<T>*>(context);
                        values.resize(count);
                        return count ? values.data() : nullptr;
                    }};
}

// Callee side: allocates `count` elements of `elementSize` bytes through `out` and copies them.
inline void writeOut(OutArray* out, const void* data, uint32_t count, size_t elementSize) {
    if (!out || !out->allocate)
        throw std::invalid_argument("null OutArray");
    void* buffer = out->allocate(out->context, count);
    if (buffer && count)
        std::memcpy(buffer, data, size_t(count) * elementSize);
}

inline void writeOut(OutArray* out, std::string_view text) { writeOut(out, text.data(), uint32_t(text.size()), 1); }

template <class T>
void writeOut(OutArray* out, const std::vector<T>& values) {
    writeOut(out, values.data(), uint32_t(values.size()), sizeof(T));
}

} // namespace Kestrel::InterfaceContract
