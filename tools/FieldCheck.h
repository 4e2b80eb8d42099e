#pragma once
// Reading the fields of a tool window's form: the rules and sentences of
// ops/FieldCheck.h on the form's texts.
#include <QString>

#include "ops/FieldCheck.h"

// A whole number: an optional sign and decimal digits, blanks around them
// allowed; false for anything else (also for an empty text and a number
// beyond the int range).
bool ParseFieldInteger(const QString& text, int& value);

// Reads text into value. A text that is not a whole number leaves value as
// it was (FIELD_NOT_INTEGER); a whole number outside min..max is taken as
// typed (FIELD_OUT_OF_RANGE).
EFieldCheck CheckIntegerField(const QString& text, int min, int max, int& value);

// Reads text into value unless it has more than maxChars characters.
EFieldCheck CheckTextField(const QString& text, int maxChars, QString& value);

// The message of a failed check: the bounds for FIELD_OUT_OF_RANGE, max
// (the character limit) for FIELD_TOO_LONG; empty for FIELD_OK.
QString FieldCheckMessage(EFieldCheck result, int min, int max);
