#pragma once
// Answer tables: how a result code of the module is told to the operator.
//
// Every answer handler tests the result code against a fixed list; each
// listed code has one text for a prompt in one of its forms and, for most
// operations, a text for the status line. Unlisted codes change nothing. The
// lists are data, shared by the console (which shows them in its message
// prompt and status line) and the command-line program (which prints them):
//
//   const SAnswerRow kDeleteRows[] = {
//       {RES_SUCCESS, MSGFORM_SUCCESS, "Deletion is succeeded.", nullptr},
//       {RES_FAIL, MSGFORM_WARNING, "Deletion is failed.", nullptr},
//   };
#include <cstddef>
#include <cstdint>

// The form of the message prompt a row shows (the prompt's icon).
constexpr int MSGFORM_WARNING = 0;
constexpr int MSGFORM_ERROR = 1;
constexpr int MSGFORM_CONNECTION = 2;
constexpr int MSGFORM_SUCCESS = 3;
constexpr int PROMPT_NONE = -1;  // a row that shows no prompt

struct SAnswerRow {
    std::int32_t code;
    int form;            // MSGFORM_* or PROMPT_NONE
    const char* prompt;  // nullptr: no prompt
    const char* status;  // nullptr: the status line stays
};

// The row of code, or nullptr when the code is not listed.
const SAnswerRow* FindAnswer(std::int32_t code, const SAnswerRow* rows, std::size_t count);

template <std::size_t N>
const SAnswerRow* FindAnswer(std::int32_t code, const SAnswerRow (&rows)[N]) {
    return FindAnswer(code, rows, N);
}

// The row's sentence for a reader that has only one line to show: its prompt
// text, else its status text; nullptr for no row.
const char* AnswerSentence(const SAnswerRow* row);
