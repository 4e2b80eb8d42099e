#include "console/AnswerTable.h"

#include "console/ConsoleContext.h"

const SAnswerRow* FindAnswer(std::int32_t code, const SAnswerRow* rows, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (rows[i].code == code) return &rows[i];
    }
    return nullptr;
}

const SAnswerRow* ShowAnswer(IConsoleContext& console, std::int32_t code, const SAnswerRow* rows,
                             std::size_t count) {
    const SAnswerRow* row = FindAnswer(code, rows, count);
    if (!row) return nullptr;
    if (row->prompt && row->form != PROMPT_NONE) console.ShowPrompt(row->form, QString::fromUtf8(row->prompt));
    if (row->status) console.SetStatusText(QString::fromUtf8(row->status));
    return row;
}
