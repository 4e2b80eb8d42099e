#include "ops/FieldCheck.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

bool ParseFieldInteger(const std::string& text, int& value) {
    const char* blanks = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return false;
    const std::string trimmed = text.substr(first, text.find_last_not_of(blanks) - first + 1);
    const std::size_t start = (trimmed[0] == '+' || trimmed[0] == '-') ? 1 : 0;
    if (start == trimmed.size()) return false;
    for (std::size_t i = start; i < trimmed.size(); ++i) {
        if (trimmed[i] < '0' || trimmed[i] > '9') return false;
    }
    errno = 0;
    const long long parsed = std::strtoll(trimmed.c_str(), nullptr, 10);
    if (errno != 0 || parsed < INT_MIN || parsed > INT_MAX) return false;
    value = static_cast<int>(parsed);
    return true;
}

EFieldCheck CheckIntegerField(const std::string& text, int min, int max, int& value) {
    int parsed = 0;
    if (!ParseFieldInteger(text, parsed)) return FIELD_NOT_INTEGER;
    value = parsed;
    return parsed < min || parsed > max ? FIELD_OUT_OF_RANGE : FIELD_OK;
}

std::string FieldCheckText(EFieldCheck result, int min, int max) {
    switch (result) {
        case FIELD_NOT_INTEGER: return "Please enter an integer.";
        case FIELD_OUT_OF_RANGE:
            return "Please enter an integer between " + std::to_string(min) + " and " + std::to_string(max) + ".";
        case FIELD_TOO_LONG: return "Please enter no more than " + std::to_string(max) + " characters.";
        case FIELD_OK: break;
    }
    return std::string();
}
