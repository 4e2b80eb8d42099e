#pragma once
// What pravik-cli prints while it runs: one line per command on stdout
// (text, or a JSON object with --json), the messages of link, file and
// usage errors on stderr, and the progress of long jobs on stderr only while
// stderr is a terminal (a script's stderr gets nothing extra).
#include <cstdint>
#include <map>
#include <string>

#include "cli/Result.h"

class COutput {
public:
    COutput(bool json, bool severalModules);

    void Print(const SResult& result);
    // A message for the operator on stderr ("pravik-cli: " before it).
    void Message(const std::string& text);
    void Progress(const std::string& port, const std::string& what, bool frequent);
    bool ShowsProgress() const { return m_bProgress; }

private:
    // Clears the progress line before anything else is written.
    void ClearProgress();

    bool m_bJson;
    bool m_bSeveral;
    bool m_bProgress;
    bool m_bProgressShown = false;
    std::map<std::string, std::int64_t> m_LastProgressUs;
};

// The human line of a result: "verify 5: Verification is succeeded.", with
// "PORT: " before it when several modules run.
std::string ResultLine(const SResult& result, bool withPort);
// The JSON object of a result (one line, no line end).
std::string ResultJson(const SResult& result);
