#pragma once
// The result of one command on one module, as every output reads it: the
// line of text or JSON, the CSV row and the JUnit test case.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum class EOutcome {
    Ok,
    Failed,   // the module answered with a failure (exit code 1)
    Usage,    // the command does not fit this module (2)
    Link,     // the port, the line or the module's silence (3)
    File,     // a file could not be read or written (4)
    Skipped,  // not run: an earlier command failed
};

int ExitCodeOf(EOutcome outcome);
// "ok", "failed", "usage-error", "link-error", "file-error", "skipped".
const char* OutcomeName(EOutcome outcome);

// "SUCCESS", or the number when the module's result code has no name.
std::string ResultText(std::int32_t code);

// A JSON string literal of text (UTF-8 passed through, bytes that are not
// valid UTF-8 as \u00XX of their Latin-1 reading).
std::string JsonString(const std::string& text);

// Named values of a result, in the order they were first added, each
// already in JSON form.
class CValues {
public:
    void Text(const std::string& key, const std::string& value) { Raw(key, JsonString(value)); }
    void Number(const std::string& key, long long value) { Raw(key, std::to_string(value)); }
    void Bool(const std::string& key, bool value) { Raw(key, value ? "true" : "false"); }
    // A key given again keeps its place and takes the new value.
    void Raw(const std::string& key, std::string json);
    bool Empty() const { return m_Items.empty(); }
    // {"key":value,...}
    std::string Json() const;

private:
    std::vector<std::pair<std::string, std::string>> m_Items;
};

struct SResult {
    std::string port;     // as given on the command line
    std::string command;  // the command's words
    EOutcome outcome = EOutcome::Ok;
    bool hasCode = false;  // the module answered with a result code
    std::int32_t code = 0;
    std::string text;  // one sentence
    CValues values;
    double elapsedMs = 0;
};
