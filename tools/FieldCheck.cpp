#include "tools/FieldCheck.h"

bool ParseFieldInteger(const QString& text, int& value) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return false;
    int start = (trimmed[0] == QLatin1Char('+') || trimmed[0] == QLatin1Char('-')) ? 1 : 0;
    if (start == trimmed.size()) return false;
    for (int i = start; i < trimmed.size(); ++i) {
        if (trimmed[i] < QLatin1Char('0') || trimmed[i] > QLatin1Char('9')) return false;
    }
    bool ok = false;
    const int parsed = trimmed.toInt(&ok, 10);
    if (!ok) return false;
    value = parsed;
    return true;
}

EFieldCheck CheckIntegerField(const QString& text, int min, int max, int& value) {
    int parsed = 0;
    if (!ParseFieldInteger(text, parsed)) return FIELD_NOT_INTEGER;
    value = parsed;
    return parsed < min || parsed > max ? FIELD_OUT_OF_RANGE : FIELD_OK;
}

EFieldCheck CheckTextField(const QString& text, int maxChars, QString& value) {
    if (text.size() > maxChars) return FIELD_TOO_LONG;
    value = text;
    return FIELD_OK;
}

QString FieldCheckMessage(EFieldCheck result, int min, int max) {
    switch (result) {
        case FIELD_NOT_INTEGER: return QStringLiteral("Please enter an integer.");
        case FIELD_OUT_OF_RANGE: return QStringLiteral("Please enter an integer between %1 and %2.").arg(min).arg(max);
        case FIELD_TOO_LONG: return QStringLiteral("Please enter no more than %1 characters.").arg(max);
        default: return QString();
    }
}
