#include "cli/Reports.h"

#include <cstdio>

#include "protocol/CommandCatalog.h"

namespace {

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string Milliseconds(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", ms);
    return text;
}

std::string Seconds(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", ms / 1000.0);
    return text;
}

// Text for an XML attribute or element: the five special characters as
// entities, control characters and bytes that are not UTF-8 as character
// references of their Latin-1 reading.
std::string Xml(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case '&': out += "&amp;"; continue;
            case '<': out += "&lt;"; continue;
            case '>': out += "&gt;"; continue;
            case '"': out += "&quot;"; continue;
            case '\'': out += "&apos;"; continue;
            default: break;
        }
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        for (std::size_t k = 1; n && k < n; ++k) {
            if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) n = 0;
        }
        if (n == 0 || (c < 0x20 && c != '\t' && c != '\n' && c != '\r')) {
            char ref[16];
            std::snprintf(ref, sizeof ref, "&#x%X;", c < 0x20 ? 0xFFFD : c);
            out += ref;
            continue;
        }
        out.append(text, i, n);
        i += n - 1;
    }
    return out;
}

}  // namespace

std::string CsvReport(const AllResults& results) {
    std::string csv = "port,command,result,code,name,text,elapsed_ms,values\r\n";
    for (const auto& module : results) {
        for (const SResult& r : module) {
            const char* name = r.hasCode ? ResultName(r.code) : nullptr;
            csv += CsvField(r.port) + "," + CsvField(r.command) + "," + OutcomeName(r.outcome) + "," +
                   (r.hasCode ? std::to_string(r.code) : std::string()) + "," + (name ? name : "") + "," +
                   CsvField(r.text) + "," + Milliseconds(r.elapsedMs) + "," + CsvField(r.values.Json()) + "\r\n";
        }
    }
    return csv;
}

std::string JunitReport(const AllResults& results) {
    struct SCounts {
        int tests = 0, failures = 0, errors = 0, skipped = 0;
        double ms = 0;
        void Add(const SResult& r) {
            ++tests;
            failures += r.outcome == EOutcome::Failed;
            errors += r.outcome == EOutcome::Link || r.outcome == EOutcome::File || r.outcome == EOutcome::Usage;
            skipped += r.outcome == EOutcome::Skipped;
            ms += r.elapsedMs;
        }
        std::string Attributes() const {
            return " tests=\"" + std::to_string(tests) + "\" failures=\"" + std::to_string(failures) + "\" errors=\"" +
                   std::to_string(errors) + "\" skipped=\"" + std::to_string(skipped) + "\" time=\"" + Seconds(ms) +
                   "\"";
        }
    };
    SCounts all;
    std::string suites;
    for (const auto& module : results) {
        if (module.empty()) continue;
        SCounts counts;
        std::string cases;
        int number = 0;
        for (const SResult& r : module) {
            counts.Add(r);
            all.Add(r);
            char order[16];
            std::snprintf(order, sizeof order, "%02d ", number++);
            cases += "    <testcase classname=\"" + Xml("pravik-cli." + r.port) + "\" name=\"" + Xml(order + r.command) +
                     "\" time=\"" + Seconds(r.elapsedMs) + "\"";
            const std::string message = Xml(r.text);
            switch (r.outcome) {
                case EOutcome::Ok: cases += "/>\n"; break;
                case EOutcome::Failed:
                    cases += ">\n      <failure message=\"" + message + "\" type=\"" +
                             Xml(r.hasCode ? ResultText(r.code) : std::string("FAIL")) + "\">" + message +
                             "</failure>\n    </testcase>\n";
                    break;
                case EOutcome::Usage:
                case EOutcome::Link:
                case EOutcome::File:
                    cases += ">\n      <error message=\"" + message + "\" type=\"" + OutcomeName(r.outcome) + "\">" +
                             message + "</error>\n    </testcase>\n";
                    break;
                case EOutcome::Skipped:
                    cases += ">\n      <skipped message=\"" + message + "\"/>\n    </testcase>\n";
                    break;
            }
        }
        suites += "  <testsuite name=\"" + Xml(module.front().port) + "\"" + counts.Attributes() + ">\n" + cases +
                  "  </testsuite>\n";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"pravik-cli\"" + all.Attributes() + ">\n" +
           suites + "</testsuites>\n";
}

SFileResult WriteReport(const std::string& path, const std::string& text) { return ReplaceFile(path, text); }
