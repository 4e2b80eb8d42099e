#include "ops/AnswerTable.h"

const SAnswerRow* FindAnswer(std::int32_t code, const SAnswerRow* rows, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (rows[i].code == code) return &rows[i];
    }
    return nullptr;
}

const char* AnswerSentence(const SAnswerRow* row) {
    if (!row) return nullptr;
    return row->prompt && row->form != PROMPT_NONE ? row->prompt : row->status;
}
