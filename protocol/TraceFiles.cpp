#include "protocol/TraceFiles.h"

#include <cerrno>
#include <cstring>

#include "platform/core/FileAccess.h"
#include "protocol/TraceDecode.h"

namespace {

// ---------------------------------------------------------------- text

std::string KindCell(const STraceRecord& r) {
    std::string kind = TraceKindName(r.kind);
    if (r.kind == ETraceKind::Request || r.kind == ETraceKind::Resend) kind += ":" + std::to_string(r.send);
    if (r.kind == ETraceKind::Rejected) kind += std::string(":") + TraceBadName(r.bad);
    return kind;
}

std::string AllBytesHex(const STraceRecord& r, const std::uint8_t* bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(r.size * 2);
    for (std::uint32_t i = 0; i < r.size; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

// ---------------------------------------------------------------- pcapng

class CBlockWriter {
public:
    explicit CBlockWriter(std::vector<std::uint8_t>& out) : m_Out(out) {}

    void Begin(std::uint32_t type) {
        m_Start = m_Out.size();
        U32(type);
        U32(0);  // total length, filled in by End
    }
    void End() {
        const std::uint32_t total = static_cast<std::uint32_t>(m_Out.size() - m_Start + 4);
        std::memcpy(&m_Out[m_Start + 4], &total, 4);
        U32(total);
    }
    void U16(std::uint16_t v) { Put(&v, 2); }
    void U32(std::uint32_t v) { Put(&v, 4); }
    void U64(std::uint64_t v) { Put(&v, 8); }
    void Put(const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        m_Out.insert(m_Out.end(), b, b + n);
    }
    void Pad() {
        while ((m_Out.size() - m_Start) % 4) m_Out.push_back(0);
    }
    void Option(std::uint16_t code, const void* value, std::size_t size) {
        U16(code);
        U16(static_cast<std::uint16_t>(size));
        Put(value, size);
        Pad();
    }
    void Option(std::uint16_t code, const std::string& text) { Option(code, text.data(), text.size()); }
    void EndOfOptions() { U32(0); }

private:
    std::vector<std::uint8_t>& m_Out;
    std::size_t m_Start = 0;
};

constexpr std::uint32_t BLOCK_SHB = 0x0A0D0D0A;
constexpr std::uint32_t BLOCK_IDB = 0x00000001;
constexpr std::uint32_t BLOCK_EPB = 0x00000006;
constexpr std::uint16_t OPT_COMMENT = 1;
constexpr std::uint16_t OPT_SHB_USERAPPL = 4;
constexpr std::uint16_t OPT_IF_NAME = 2;
constexpr std::uint16_t OPT_IF_TSRESOL = 9;
constexpr std::uint16_t OPT_EPB_FLAGS = 2;

std::string PcapComment(const STraceRecord& r) {
    switch (r.kind) {
        case ETraceKind::Resend: return "RESEND " + std::to_string(r.send);
        case ETraceKind::Stale: return "STALE";
        case ETraceKind::Rejected: return std::string("REJECTED ") + TraceBadName(r.bad);
        default: return {};
    }
}

// ---------------------------------------------------------------- Lua tables

const char* Param1Name(EAnswerParam1 p) {
    switch (p) {
        case P1_RESULT: return "result";
        case P1_VERSION: return "version";
        case P1_BLOCK: return "block";
    }
    return "";
}

const char* LayoutName(EDataLayout layout) {
    switch (layout) {
        case DATA_NONE: return "none";
        case DATA_ID: return "id";
        case DATA_ID_PASSWORD: return "id_password";
        case DATA_PASSWORD: return "password";
        case DATA_VERIFY: return "verify";
        case DATA_AUTH: return "auth";
        case DATA_ENROLL_EX: return "enroll_ex";
        case DATA_MINUTIAE: return "minutiae";
        case DATA_USER_DATA: return "user_data";
        case DATA_HEX_RECORD: return "hex_record";
        case DATA_BIN_CHUNK: return "bin_chunk";
        case DATA_ID_TEXT: return "id_text";
        case DATA_FP_LIST: return "fp_list";
        case DATA_FP_LIST_EX: return "fp_list_ex";
        case DATA_LOG: return "log";
        case DATA_LOG_EX: return "log_ex";
        case DATA_IMAGE: return "image";
    }
    return "";
}

}  // namespace

ETraceFileFormat TraceFormatForPath(const std::string& path) {
    static const char kSuffix[] = ".pcapng";
    const std::size_t n = sizeof kSuffix - 1;
    if (path.size() < n) return ETraceFileFormat::Text;
    for (std::size_t i = 0; i < n; ++i) {
        char c = path[path.size() - n + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kSuffix[i]) return ETraceFileFormat::Text;
    }
    return ETraceFileFormat::Pcapng;
}

std::string TraceTextLine(const STraceRecord& r, const std::uint8_t* bytes) {
    const char tab = '\t';
    std::string line = TraceWallText(r.wallUs);
    line += tab;
    line += TraceMillisText(r.sinceOpenUs);
    line += tab;
    line += TraceDirText(r);
    line += tab;
    line += KindCell(r);
    line += tab;
    line += r.IsMini() ? "MINIMIZED" : "GENERAL";
    line += tab;
    line += TraceCommandCell(r);
    line += tab;
    line += TraceParam1Cell(r);
    line += tab;
    line += TraceParam2Cell(r);
    line += tab;
    line += r.IsMini() ? "-" : TraceDataSizeCell(r);
    line += tab;
    line += r.IsMini() ? "-" : TraceErrCodeCell(r);
    line += tab;
    if (r.kind == ETraceKind::Rejected) {
        line += AllBytesHex(r, bytes);
    } else {
        line += TraceDataHex(r, bytes, TraceDecodeData(r, bytes));
    }
    return line;
}

std::string TraceText(const CTraceHistory& history) {
    std::string text =
        "#TIME_UTC\tMS_SINCE_OPEN\tDIR\tKIND\tFORM\tCOMMAND\tPARAM1\tPARAM2\tDATA_SIZE\tERR_CODE\tDATA\n";
    for (std::size_t i = 0; i < history.Size(); ++i) {
        const STraceRecord& r = history.At(i);
        text += TraceTextLine(r, history.Bytes(r));
        text += '\n';
    }
    return text;
}

std::vector<std::uint8_t> TracePcapng(const CTraceHistory& history) {
    std::vector<std::uint8_t> out;
    CBlockWriter w(out);
    // Section header: byte-order magic, version 1.0, section length unknown.
    w.Begin(BLOCK_SHB);
    w.U32(0x1A2B3C4D);
    w.U16(1);
    w.U16(0);
    w.U64(~std::uint64_t{0});
    w.Option(OPT_SHB_USERAPPL, std::string("pravik"));
    w.EndOfOptions();
    w.End();
    // The one interface: the serial line.
    w.Begin(BLOCK_IDB);
    w.U16(PCAPNG_LINKTYPE_USER0);
    w.U16(0);
    w.U32(0);  // no snapshot limit
    w.Option(OPT_IF_NAME, std::string("serial"));
    const std::uint8_t microseconds = 6;
    w.Option(OPT_IF_TSRESOL, &microseconds, 1);
    w.EndOfOptions();
    w.End();
    for (std::size_t i = 0; i < history.Size(); ++i) {
        const STraceRecord& r = history.At(i);
        const auto stamp = static_cast<std::uint64_t>(r.wallUs);
        w.Begin(BLOCK_EPB);
        w.U32(0);  // interface
        w.U32(static_cast<std::uint32_t>(stamp >> 32));
        w.U32(static_cast<std::uint32_t>(stamp));
        w.U32(r.size);
        w.U32(r.size);
        w.Put(history.Bytes(r), r.size);
        w.Pad();
        const std::uint32_t flags = r.IsReceived() ? PCAPNG_EPB_INBOUND : PCAPNG_EPB_OUTBOUND;
        w.Option(OPT_EPB_FLAGS, &flags, 4);
        const std::string comment = PcapComment(r);
        if (!comment.empty()) w.Option(OPT_COMMENT, comment);
        w.EndOfOptions();
        w.End();
    }
    return out;
}

SFileResult SaveTrace(const CTraceHistory& history, const std::string& path, ETraceFileFormat format) {
    if (format == ETraceFileFormat::Pcapng) {
        const std::vector<std::uint8_t> bytes = TracePcapng(history);
        return ReplaceFile(path, bytes.data(), bytes.size());
    }
    return ReplaceFile(path, TraceText(history));
}

std::string WiresharkCatalogueLua() {
    std::string lua = "pravik_general_commands = {\n";
    std::size_t count = 0;
    const SCommandInfo* rows = CommandRows(&count);
    std::string mini = "pravik_mini_commands = {\n";
    char line[256];
    for (std::size_t i = 0; i < count; ++i) {
        const SCommandInfo& row = rows[i];
        if (row.form == EFrameForm::General) {
            std::snprintf(line, sizeof line,
                          "    [0x%02x] = { name = \"%s\", param1 = \"%s\", request = \"%s\", answer = \"%s\" },\n",
                          row.code, row.name, Param1Name(row.param1), LayoutName(row.requestData),
                          LayoutName(row.answerData));
            lua += line;
        } else {
            std::snprintf(line, sizeof line, "    [0x%02x] = \"%s\",\n", row.code, row.name);
            mini += line;
        }
    }
    lua += "}\n" + mini + "}\npravik_result_names = {\n";
    for (std::int32_t code = 0; code < 256; ++code) {
        if (const char* name = ResultName(code)) {
            std::snprintf(line, sizeof line, "    [%d] = \"%s\",\n", code, name);
            lua += line;
        }
    }
    lua += "}\n";
    std::snprintf(line, sizeof line, "pravik_id_field_size = %d\npravik_password_field_size = %d\n", ID_FIELD_SIZE,
                  PASSWORD_FIELD_SIZE);
    lua += line;
    return lua;
}
