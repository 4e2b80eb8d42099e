#pragma once
// Answer tables: how a result code is shown to the operator.
//
// Every answer handler tests the result code against a fixed list; each
// listed code shows one text in a form of the message prompt and, for most
// operations, a text in the status line. Unlisted codes change nothing. The
// lists are data:
//
//   static const SAnswerRow kRows[] = {
//       {RES_SUCCESS, MSGFORM_SUCCESS, "Deletion is succeeded.", "Deletion is succeeded."},
//       {RES_FAIL, MSGFORM_ERROR, "Deletion is failed.", nullptr},
//   };
//   ShowAnswer(m_Console, result, kRows);
#include <cstddef>
#include <cstdint>

class IConsoleContext;

constexpr int PROMPT_NONE = -1;  // a row that shows no prompt

struct SAnswerRow {
    std::int32_t code;
    int form;            // MSGFORM_* or PROMPT_NONE
    const char* prompt;  // nullptr: no prompt
    const char* status;  // nullptr: the status line stays
};

// The row of code, or nullptr when the code is not listed.
const SAnswerRow* FindAnswer(std::int32_t code, const SAnswerRow* rows, std::size_t count);

// Shows the row of code: the prompt first, then the status line. Returns the
// row (so the caller can do what else the code asks), nullptr when the code
// is not listed and nothing was shown.
const SAnswerRow* ShowAnswer(IConsoleContext& console, std::int32_t code, const SAnswerRow* rows,
                             std::size_t count);

template <std::size_t N>
const SAnswerRow* ShowAnswer(IConsoleContext& console, std::int32_t code, const SAnswerRow (&rows)[N]) {
    return ShowAnswer(console, code, rows, N);
}
template <std::size_t N>
const SAnswerRow* FindAnswer(std::int32_t code, const SAnswerRow (&rows)[N]) {
    return FindAnswer(code, rows, N);
}
