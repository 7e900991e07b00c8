#include "domain/version_number.h"

#include <algorithm>

bool VersionNumber::Parse(const std::string& text, std::vector<unsigned long>& parts) {
    parts.clear();
    unsigned long value = 0;
    int digits = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : '.';
        if (c >= '0' && c <= '9') {
            if (++digits > kMaxDigits) {
                return false;
            }
            value = value * 10 + static_cast<unsigned long>(c - '0');
        } else if (c == '.' && digits > 0 && parts.size() < kMaxParts) {
            parts.push_back(value);
            value = 0;
            digits = 0;
        } else {
            return false;
        }
    }
    return true;
}

bool VersionNumber::Compare(const std::string& a, const std::string& b, int& result) {
    std::vector<unsigned long> left;
    std::vector<unsigned long> right;
    if (!Parse(a, left) || !Parse(b, right)) {
        return false;
    }
    const size_t count = std::max(left.size(), right.size());
    left.resize(count, 0);
    right.resize(count, 0);
    result = left < right ? -1 : (left == right ? 0 : 1);
    return true;
}
