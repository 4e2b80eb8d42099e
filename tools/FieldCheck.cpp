#include "tools/FieldCheck.h"

// Blanks as the form knows them (any white space) go before the shared rules
// see the digits.
bool ParseFieldInteger(const QString& text, int& value) {
    return ParseFieldInteger(text.trimmed().toStdString(), value);
}

EFieldCheck CheckIntegerField(const QString& text, int min, int max, int& value) {
    return CheckIntegerField(text.trimmed().toStdString(), min, max, value);
}

EFieldCheck CheckTextField(const QString& text, int maxChars, QString& value) {
    const EFieldCheck check = CheckTextLength(static_cast<std::size_t>(text.size()), maxChars);
    if (check == FIELD_OK) value = text;
    return check;
}

QString FieldCheckMessage(EFieldCheck result, int min, int max) {
    return QString::fromStdString(FieldCheckText(result, min, max));
}
