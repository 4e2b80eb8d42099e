#pragma once
// Reading operator input field by field: whole numbers within a range and
// texts of a bounded length, with the sentence the operator is told when a
// field does not fit. The console's forms (tools/FieldCheck.h) and the
// command line's arguments use the same rules and the same sentences.
#include <cstddef>
#include <string>

enum EFieldCheck {
    FIELD_OK,
    FIELD_NOT_INTEGER,   // "Please enter an integer."
    FIELD_OUT_OF_RANGE,  // "Please enter an integer between %1 and %2."
    FIELD_TOO_LONG,      // "Please enter no more than %1 characters."
};

// A whole number: an optional sign and decimal digits, blanks around them
// allowed; false for anything else (also for an empty text and a number
// beyond the int range).
bool ParseFieldInteger(const std::string& text, int& value);

// Reads text into value. A text that is not a whole number leaves value as
// it was (FIELD_NOT_INTEGER); a whole number outside min..max is taken as
// typed (FIELD_OUT_OF_RANGE).
EFieldCheck CheckIntegerField(const std::string& text, int min, int max, int& value);

// A text of length characters against a limit of maxChars.
inline EFieldCheck CheckTextLength(std::size_t length, int maxChars) {
    return length > static_cast<std::size_t>(maxChars) ? FIELD_TOO_LONG : FIELD_OK;
}

// The sentence of a failed check: the bounds for FIELD_OUT_OF_RANGE, max
// (the character limit) for FIELD_TOO_LONG; empty for FIELD_OK.
std::string FieldCheckText(EFieldCheck result, int min, int max);
