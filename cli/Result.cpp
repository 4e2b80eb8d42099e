#include "cli/Result.h"

#include <cstdio>

#include "protocol/CommandCatalog.h"

std::string ResultText(std::int32_t code) {
    const char* name = ResultName(code);
    return name ? std::string(name) : std::to_string(code);
}

int ExitCodeOf(EOutcome outcome) {
    switch (outcome) {
        case EOutcome::Ok:
        case EOutcome::Skipped: return 0;
        case EOutcome::Failed: return 1;
        case EOutcome::Usage: return 2;
        case EOutcome::Link: return 3;
        case EOutcome::File: return 4;
    }
    return 0;
}

const char* OutcomeName(EOutcome outcome) {
    switch (outcome) {
        case EOutcome::Ok: return "ok";
        case EOutcome::Failed: return "failed";
        case EOutcome::Usage: return "usage-error";
        case EOutcome::Link: return "link-error";
        case EOutcome::File: return "file-error";
        case EOutcome::Skipped: return "skipped";
    }
    return "";
}

namespace {

// Length of the UTF-8 sequence at text[i], 0 when it is not valid.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > text.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    }
    return n;
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        char escape[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else if (c >= 0x80) {
            const std::size_t n = Utf8Length(text, i);
            if (n == 0) {
                // An ID or a text from the module is 8-bit: show the byte as its Latin-1 character.
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
                ++i;
                continue;
            }
            out.append(text, i, n);
            i += n;
            continue;
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out + "\"";
}

void CValues::Raw(const std::string& key, std::string json) {
    for (auto& item : m_Items) {
        if (item.first == key) {
            item.second = std::move(json);
            return;
        }
    }
    m_Items.emplace_back(key, std::move(json));
}

std::string CValues::Json() const {
    std::string out = "{";
    for (std::size_t i = 0; i < m_Items.size(); ++i) {
        if (i) out += ",";
        out += JsonString(m_Items[i].first) + ":" + m_Items[i].second;
    }
    return out + "}";
}
