// Reading the members of a message the page posted. The page posts plain objects, which the runtime
// hands over as JSON text; the host reads a few top-level members of them by name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The top-level members of a JSON object, read without building a tree. Nested objects and arrays are
// stepped over whole. Text that is not one well-formed JSON object reads as an object without members.
class PageMessageFields {
public:
    explicit PageMessageFields(std::wstring_view json);

    // The member's value when it is a string (escapes undone); nothing for any other kind or when absent.
    std::optional<std::wstring> String(std::wstring_view name) const;

    // The member's value when it is a whole number from 0 to 4294967295 written plainly (no sign,
    // fraction or exponent); nothing otherwise.
    std::optional<uint32_t> Number(std::wstring_view name) const;

    bool valid() const noexcept { return valid_; }

private:
    // Where the value of the first member of that name starts; npos when there is none.
    size_t ValueOf(std::wstring_view name) const;

    std::wstring json_;
    bool valid_ = false;
};
