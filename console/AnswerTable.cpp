#include "console/AnswerTable.h"

#include <QString>

#include "console/ConsoleContext.h"

const SAnswerRow* ShowAnswer(IConsoleContext& console, std::int32_t code, const SAnswerRow* rows,
                             std::size_t count) {
    const SAnswerRow* row = FindAnswer(code, rows, count);
    if (!row) return nullptr;
    if (row->prompt && row->form != PROMPT_NONE) console.ShowPrompt(row->form, QString::fromUtf8(row->prompt));
    if (row->status) console.SetStatusText(QString::fromUtf8(row->status));
    return row;
}
