#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Versions written as dotted decimal numbers ("2.1.13"). Parts compare as numbers, left to
// right, and missing parts count as zero: "2.1.9" < "2.1.13", "2.1" = "2.1.0".
class VersionNumber {
public:
    static constexpr size_t kMaxParts = 4;
    static constexpr int kMaxDigits = 9;

    // The parts of a version: one to four numbers of one to nine digits, separated by single
    // dots ("2", "2.1.13", "2.1.13.4"). False for anything else: blanks, signs, letters,
    // empty parts, more parts or longer numbers. A version is thus at most 39 characters.
    static bool Parse(const std::string& text, std::vector<unsigned long>& parts);
    // Negative, zero or positive as `a` is older than, equal to or newer than `b`; false
    // when either is no version.
    static bool Compare(const std::string& a, const std::string& b, int& result);
};
