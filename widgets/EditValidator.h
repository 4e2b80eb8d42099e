#pragma once
// What an edit of a dialog template takes as it is typed (or pasted, or
// dropped): digits only (NUMBER), small letters turned into capitals
// (UPPERCASE), and characters the module can store (BYTETEXT: it keeps text
// one byte a character, so only Latin-1, U+0000 to U+00FF). A keystroke that
// breaks a rule is refused and the text stays as it was; the capitals are
// made inside the validation, so the edit reports one change per keystroke.
#include <QString>
#include <QValidator>
#include <functional>

class CEditValidator : public QValidator {
public:
    enum ERule : unsigned {
        RULE_DIGITS = 1u << 0,
        RULE_UPPER_CASE = 1u << 1,
        RULE_BYTE_TEXT = 1u << 2,
    };

    CEditValidator(unsigned rules, QObject* parent) : QValidator(parent), m_nRules(rules) {}

    State validate(QString& input, int& pos) const override;

    // Told of each refused text, with the first character it refused.
    std::function<void(const QString& character)> m_fnRefused;

    // Letters a-z and à-þ (but ÷) in capitals, each a character of the same
    // 8-bit alphabet; every other character as it is (ß, ÿ and µ have no
    // capital there).
    static QString Latin1Upper(const QString& text);
    // The first character of text that is not one byte of Latin-1 (a whole
    // surrogate pair for a character beyond U+FFFF); empty when there is none.
    static QString FirstWideCharacter(const QString& text);

private:
    unsigned m_nRules;
};
