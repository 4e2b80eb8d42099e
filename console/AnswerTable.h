#pragma once
// Answer tables shown in the console: the prompt of a row first, then its
// status text. The rows themselves are shared data (ops/AnswerTable.h,
// ops/Answers.h):
//
//   ShowAnswer(m_Console, result, kDeleteRows);
#include <cstddef>
#include <cstdint>

#include "ops/AnswerTable.h"
#include "ops/Answers.h"

class IConsoleContext;

// Shows the row of code: the prompt first, then the status line. Returns the
// row (so the caller can do what else the code asks), nullptr when the code
// is not listed and nothing was shown.
const SAnswerRow* ShowAnswer(IConsoleContext& console, std::int32_t code, const SAnswerRow* rows,
                             std::size_t count);

template <std::size_t N>
const SAnswerRow* ShowAnswer(IConsoleContext& console, std::int32_t code, const SAnswerRow (&rows)[N]) {
    return ShowAnswer(console, code, rows, N);
}
