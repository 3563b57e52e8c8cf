// The system's character set detector: ICU's, which Windows 10 (version 1903 and later) carries as
// icu.dll. It is loaded at run time from the system folder only, once per process; where it is missing
// (older Windows, Wine) there are simply no guesses.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct CharsetGuess {
    std::string name;   // ICU's name of the character set, such as "GB18030", "Shift_JIS", "windows-1251"
    int confidence = 0; // 0 to 100
};

// Whether this system has the detector.
bool HasCharsetDetector() noexcept;

// The detector's guesses for `bytes`, the most likely first; empty without a detector or when it fails.
std::vector<CharsetGuess> GuessCharsets(const char* bytes, size_t count) noexcept;
