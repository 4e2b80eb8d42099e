#include "widgets/EditValidator.h"

QString CEditValidator::Latin1Upper(const QString& text) {
    QString upper = text;
    for (QChar& c : upper) {
        const char16_t u = c.unicode();
        if ((u >= u'a' && u <= u'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) c = QChar(static_cast<char16_t>(u - 0x20));
    }
    return upper;
}

QString CEditValidator::FirstWideCharacter(const QString& text) {
    for (int i = 0; i < text.size(); ++i) {
        if (text[i].unicode() <= 0xFF) continue;
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        return text.mid(i, pair ? 2 : 1);
    }
    return QString();
}

QValidator::State CEditValidator::validate(QString& input, int&) const {
    if (m_nRules & RULE_BYTE_TEXT) {
        const QString wide = FirstWideCharacter(input);
        if (!wide.isEmpty()) {
            if (m_fnRefused) m_fnRefused(wide);
            return Invalid;
        }
    }
    if (m_nRules & RULE_DIGITS) {
        for (const QChar c : input) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) return Invalid;
        }
    }
    if (m_nRules & RULE_UPPER_CASE) input = Latin1Upper(input);
    return Acceptable;
}
