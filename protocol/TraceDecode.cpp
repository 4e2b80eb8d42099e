#include "protocol/TraceDecode.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "protocol/Requests.h"

namespace {

constexpr std::uint32_t DATA_AT = PACKET_HEADER_SIZE;  // the data area starts behind the header
constexpr std::size_t LOG_RECORD_BYTES = 28;
constexpr std::size_t SHOWN_RECORDS = 64;  // list and log records decoded one by one

const SCommandInfo* InfoOf(const STraceRecord& r) { return FindCommand(r.form, r.command); }

// Text of a zero-terminated field, at most size bytes; bytes outside
// printable ASCII as \xNN.
std::string FieldText(const std::uint8_t* p, std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size && p[i]; ++i) {
        if (p[i] >= 0x20 && p[i] < 0x7F) {
            text += static_cast<char>(p[i]);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", p[i]);
            text += hex;
        }
    }
    return text;
}

class CFields {
public:
    CFields(const std::uint8_t* data, std::uint32_t size, std::vector<STraceField>& out)
        : m_Data(data), m_Size(size), m_Out(out) {}

    std::uint32_t Left() const { return m_Size - m_At; }
    bool Has(std::uint32_t n) const { return Left() >= n; }

    void Text(const char* name, std::uint32_t width) {
        const std::uint32_t n = std::min(width, Left());
        if (!n) return;
        Add(name, "\"" + FieldText(m_Data + m_At, n) + "\"", n, false);
    }
    void Password(const char* name = "password") {
        const std::uint32_t n = std::min<std::uint32_t>(PASSWORD_FIELD_SIZE, Left());
        if (n) Add(name, TRACE_MASK, n, true);
    }
    std::uint32_t Be32(const char* name) {
        if (!Has(4)) return 0;
        const std::uint32_t v = GetBE32(m_Data + m_At);
        Add(name, TraceHex(v) + " (" + std::to_string(v) + ")", 4, false);
        return v;
    }
    std::uint32_t Be16(const char* name) {
        if (!Has(2)) return 0;
        const std::uint32_t v = GetBE16(m_Data + m_At);
        Add(name, std::to_string(v), 2, false);
        return v;
    }
    // The rest (or n bytes of it) as a byte count.
    void Rest(const char* name, std::uint32_t n = 0xFFFFFFFFu) {
        n = std::min(n, Left());
        if (n) Add(name, std::to_string(n) + " bytes", n, false);
    }
    void Skip(std::uint32_t n) { m_At += std::min(n, Left()); }
    void IdRecords(std::uint32_t count) {
        std::uint32_t shown = 0;
        while (count-- && Has(ID_FIELD_SIZE) && shown < SHOWN_RECORDS) {
            Text("id", ID_FIELD_SIZE);
            ++shown;
        }
        Rest("more_records");
    }
    void LogRecords(std::uint32_t count) {
        std::uint32_t shown = 0;
        while (count-- && Has(LOG_RECORD_BYTES) && shown < SHOWN_RECORDS) {
            const std::uint8_t* rec = m_Data + m_At;
            std::string value = "index " + std::to_string(GetBE32(rec));
            if (rec[4] == 0) {
                value += " command " + std::to_string(rec[5]) + " id \"" + FieldText(rec + 6, ID_FIELD_SIZE) +
                         "\" result " + std::to_string(GetBE16(rec + 16));
            } else {
                value += " error \"" + FieldText(rec + 5, 23) + "\"";
            }
            Add("log_record", value, LOG_RECORD_BYTES, false);
            ++shown;
        }
        Rest("more_records");
    }

private:
    void Add(const char* name, std::string value, std::uint32_t n, bool secret) {
        STraceField f;
        f.name = name;
        f.value = std::move(value);
        f.offset = DATA_AT + m_At;
        f.size = n;
        f.secret = secret;
        m_Out.push_back(std::move(f));
        m_At += n;
    }
    const std::uint8_t* m_Data;
    std::uint32_t m_Size;
    std::uint32_t m_At = 0;
    std::vector<STraceField>& m_Out;
};

// The ID and password fields of an enter-master request by its
// authentication type.
void Credentials(CFields& f, std::uint32_t authType) {
    switch (authType) {
        case AUTH_MASTER_FP: f.Text("id", ID_FIELD_SIZE); break;
        case AUTH_MASTER_PASSWORD:
            f.Text("id", ID_FIELD_SIZE);
            f.Password();
            break;
        case AUTH_DEVICE_PASSWORD: f.Password(); break;
        default: break;
    }
}

bool SecretAt(const std::vector<STraceField>& fields, std::uint32_t offset) {
    for (const STraceField& f : fields) {
        if (f.secret && offset >= f.offset && offset < f.offset + f.size) return true;
    }
    return false;
}

}  // namespace

std::string TraceHex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

std::string TraceCommandText(EFrameForm form, std::uint32_t code) {
    const SCommandInfo* info = FindCommand(form, code);
    return info ? TraceHex(code) + " " + info->name : TraceHex(code);
}

std::string TraceResultText(std::uint32_t code) {
    const char* name = ResultName(static_cast<std::int32_t>(code));
    return name ? TraceHex(code) + " " + name : TraceHex(code);
}

std::string TraceCommandCell(const STraceRecord& r) { return TraceCommandText(r.form, r.command); }

std::string TraceParam1Cell(const STraceRecord& r) {
    if (!r.IsReceived()) return TraceHex(r.param1);
    const SCommandInfo* info = InfoOf(r);
    // Minimized answers carry the result in arg1; General answers in param1
    // unless the catalogue says otherwise (a version, a block number).
    if (r.IsMini() || !info || info->param1 == P1_RESULT) return TraceResultText(r.param1);
    return TraceHex(r.param1);
}

std::string TraceParam2Cell(const STraceRecord& r) { return TraceHex(r.param2); }

std::string TraceDataSizeCell(const STraceRecord& r) { return r.IsMini() ? std::string() : TraceHex(r.dataSize); }

std::string TraceErrCodeCell(const STraceRecord& r) { return r.IsMini() ? std::string() : TraceHex(r.errCode); }

const char* TraceDirText(const STraceRecord& r) { return r.IsReceived() ? "RCV" : "SND"; }

const char* TraceKindName(ETraceKind kind) {
    switch (kind) {
        case ETraceKind::Request: return "REQUEST";
        case ETraceKind::Resend: return "RESEND";
        case ETraceKind::Answer: return "ANSWER";
        case ETraceKind::Stale: return "STALE";
        case ETraceKind::Rejected: return "REJECTED";
    }
    return "";
}

const char* TraceBadName(EBadFrame bad) {
    switch (bad) {
        case EBadFrame::HeaderChecksum: return "HEADER_CHECKSUM";
        case EBadFrame::DataChecksum: return "DATA_CHECKSUM";
        case EBadFrame::Oversized: return "OVERSIZED";
        case EBadFrame::MiniChecksum: return "MINI_CHECKSUM";
    }
    return "";
}

std::string TraceMillisText(std::int64_t micros) {
    const bool negative = micros < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(micros) : static_cast<std::uint64_t>(micros);
    char text[40];
    std::snprintf(text, sizeof text, "%s%llu.%03llu", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 1000), static_cast<unsigned long long>(magnitude % 1000));
    return text;
}

std::string TraceWallText(std::int64_t wallMicros) {
    std::int64_t seconds = wallMicros / 1000000;
    std::int64_t micros = wallMicros % 1000000;
    if (micros < 0) {
        micros += 1000000;
        --seconds;
    }
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06lldZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<long long>(micros));
    return text;
}

bool TraceIsFailure(const STraceRecord& r) {
    if (r.kind == ETraceKind::Resend || r.kind == ETraceKind::Stale || r.kind == ETraceKind::Rejected) return true;
    if (r.kind != ETraceKind::Answer) return false;
    if (!r.IsMini() && r.errCode != 0) return true;
    const SCommandInfo* info = InfoOf(r);
    if (!r.IsMini() && info && info->param1 != P1_RESULT) return false;
    const auto result = static_cast<std::int32_t>(r.param1);
    return ResultName(result) && result != RES_SUCCESS && result != RES_IDLE;
}

std::vector<STraceField> TraceDecodeData(const STraceRecord& r, const std::uint8_t* bytes) {
    std::vector<STraceField> fields;
    if (r.IsMini() || r.dataSize == 0 || r.size <= DATA_AT) return fields;
    const std::uint32_t size = std::min<std::uint32_t>(r.dataSize, r.size - DATA_AT);
    CFields f(bytes + DATA_AT, size, fields);
    const SCommandInfo* info = InfoOf(r);
    const EDataLayout layout = !info ? DATA_NONE : r.IsReceived() ? info->answerData : info->requestData;
    switch (layout) {
        // The ID and password fields come in the orders of the enter-master
        // credentials.
        case DATA_ID:
        case DATA_ID_TEXT: Credentials(f, AUTH_MASTER_FP); break;
        case DATA_ID_PASSWORD: Credentials(f, AUTH_MASTER_PASSWORD); break;
        case DATA_PASSWORD: Credentials(f, AUTH_DEVICE_PASSWORD); break;
        case DATA_VERIFY: Credentials(f, r.param1 == 1 ? AUTH_MASTER_PASSWORD : AUTH_MASTER_FP); break;
        case DATA_AUTH: Credentials(f, r.command == CMD_ENTER_MASTER ? r.param2 : r.param1); break;
        case DATA_ENROLL_EX:
            if (r.param2 == 0) Credentials(f, AUTH_MASTER_PASSWORD);
            break;
        case DATA_MINUTIAE: f.Rest("minutiae", MINUTIAE_SIZE); break;
        case DATA_USER_DATA: f.Text("user_data", size); break;
        case DATA_HEX_RECORD: {
            f.Be32("upper_address");
            f.Be32("load_address");
            const std::uint32_t length = f.Be16("length");
            f.Rest("record", length);
            break;
        }
        case DATA_BIN_CHUNK:
            f.Be32("file_size");
            f.Rest("chunk");
            break;
        case DATA_FP_LIST: f.IdRecords(size / ID_FIELD_SIZE); break;
        case DATA_FP_LIST_EX: {
            const std::uint32_t count = f.Be16("count");
            f.Be16("capacity");
            f.IdRecords(count);
            break;
        }
        case DATA_LOG: f.LogRecords(size / LOG_RECORD_BYTES); break;
        case DATA_LOG_EX: {
            const std::uint32_t count = f.Be16("record_count");
            f.Skip(2);
            f.LogRecords(count);
            break;
        }
        case DATA_IMAGE: f.Rest("image"); break;
        case DATA_NONE: break;
    }
    // Whatever the layout does not explain.
    f.Rest("data");
    return fields;
}

std::string TraceHexDump(const STraceRecord& r, const std::uint8_t* bytes, const std::vector<STraceField>& fields) {
    std::string out;
    char cell[16];
    for (std::uint32_t line = 0; line < r.size; line += 16) {
        std::snprintf(cell, sizeof cell, "%04x ", line);
        out += cell;
        for (std::uint32_t i = line; i < line + 16 && i < r.size; ++i) {
            if (SecretAt(fields, i)) {
                out += " **";
            } else {
                std::snprintf(cell, sizeof cell, " %02x", bytes[i]);
                out += cell;
            }
        }
        out += '\n';
    }
    return out;
}

std::string TraceDataHex(const STraceRecord& r, const std::uint8_t* bytes, const std::vector<STraceField>& fields) {
    std::string out;
    if (r.IsMini() || r.size <= DATA_AT) return out;
    const std::uint32_t end = DATA_AT + std::min<std::uint32_t>(r.dataSize, r.size - DATA_AT);
    static const char kDigits[] = "0123456789abcdef";
    out.reserve((end - DATA_AT) * 2);
    for (std::uint32_t i = DATA_AT; i < end; ++i) {
        if (SecretAt(fields, i)) {
            out += "**";
        } else {
            out += kDigits[bytes[i] >> 4];
            out += kDigits[bytes[i] & 15];
        }
    }
    return out;
}
