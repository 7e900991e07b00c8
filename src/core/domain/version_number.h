#pragma once

#include <string>
#include <vector>

// Versions written as dotted decimal numbers ("2.1.13"). Parts compare as numbers, left to
// right, and missing parts count as zero: "2.1.9" < "2.1.13", "2.1" = "2.1.0".
class VersionNumber {
public:
    // The parts of a version; false for anything but digits separated by single dots
    // (no blanks, signs, letters, empty parts, or parts beyond nine digits).
    static bool Parse(const std::string& text, std::vector<unsigned long>& parts);
    // Negative, zero or positive as `a` is older than, equal to or newer than `b`; false
    // when either is no version.
    static bool Compare(const std::string& a, const std::string& b, int& result);
};
