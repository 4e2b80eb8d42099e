#include "cli/Output.h"

#include <unistd.h>

#include <cstdio>

#include "platform/core/PosixMessageLoop.h"
#include "protocol/CommandCatalog.h"

namespace {

// Progress of one module is written at most this often.
constexpr std::int64_t PROGRESS_INTERVAL_US = 100000;

}  // namespace

std::string ResultLine(const SResult& r, bool withPort) {
    return (withPort ? r.port + ": " : std::string()) + r.command + ": " + r.text;
}

std::string ResultJson(const SResult& r) {
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "%.3f", r.elapsedMs);
    std::string json = "{\"command\":" + JsonString(r.command) + ",\"port\":" + JsonString(r.port) +
                       ",\"result\":" + JsonString(OutcomeName(r.outcome));
    if (r.hasCode) {
        const char* name = ResultName(r.code);
        json += ",\"code\":" + std::to_string(r.code) + ",\"name\":" + (name ? JsonString(name) : std::string("null"));
    } else {
        json += ",\"code\":null,\"name\":null";
    }
    json += ",\"text\":" + JsonString(r.text) + ",\"values\":" + r.values.Json() + ",\"elapsed_ms\":" + elapsed + "}";
    return json;
}

COutput::COutput(bool json, bool severalModules)
    : m_bJson(json), m_bSeveral(severalModules), m_bProgress(isatty(STDERR_FILENO) == 1) {}

void COutput::ClearProgress() {
    if (!m_bProgressShown) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_bProgressShown = false;
}

void COutput::Print(const SResult& result) {
    ClearProgress();
    const std::string line = m_bJson ? ResultJson(result) : ResultLine(result, m_bSeveral);
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
    const EOutcome o = result.outcome;
    if (o == EOutcome::Usage || o == EOutcome::Link || o == EOutcome::File) {
        Message(ResultLine(result, m_bSeveral || o == EOutcome::Link));
    }
}

void COutput::Message(const std::string& text) {
    ClearProgress();
    std::fprintf(stderr, "pravik-cli: %s\n", text.c_str());
    std::fflush(stderr);
}

void COutput::Progress(const std::string& port, const std::string& what, bool frequent) {
    if (!m_bProgress) return;
    const std::int64_t now = CPosixMessageLoop::MonotonicMicros();
    std::int64_t& last = m_LastProgressUs[port];
    if (frequent && last != 0 && now - last < PROGRESS_INTERVAL_US) return;
    last = now;
    const std::string line = (m_bSeveral ? port + ": " : std::string()) + what;
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    m_bProgressShown = true;
}
