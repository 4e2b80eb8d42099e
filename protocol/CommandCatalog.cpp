#include "protocol/CommandCatalog.h"

#include <array>
#include <iterator>

namespace {

#define PRAVIK_GENERAL_ROW(name, code, timeout, resend, control, key, param1, request, answer) \
    {EFrameForm::General, code, #name, timeout, resend, control, key, param1, request, answer},
#define PRAVIK_MINI_ROW(name, code, control) \
    {EFrameForm::Minimized, code, #name, GUARD_NONE, false, control, KEY_COMMAND, P1_RESULT, DATA_NONE, DATA_NONE},

constexpr SCommandInfo kRows[] = {
    PRAVIK_GENERAL_COMMANDS(PRAVIK_GENERAL_ROW)
    PRAVIK_MINI_COMMANDS(PRAVIK_MINI_ROW)
};

#undef PRAVIK_GENERAL_ROW
#undef PRAVIK_MINI_ROW

// Every code is below 256: one flat table per form answers in one lookup.
struct SLookup {
    std::array<const SCommandInfo*, 256> general{};
    std::array<const SCommandInfo*, 256> mini{};
};

const SLookup& Lookup() {
    static const SLookup lookup = [] {
        SLookup l;
        for (const SCommandInfo& row : kRows) {
            auto& table = row.form == EFrameForm::General ? l.general : l.mini;
            table[row.code] = &row;
        }
        return l;
    }();
    return lookup;
}

struct SResultName {
    std::int32_t code;
    const char* name;
};

#define PRAVIK_RESULT_ROW(name, code) {code, #name},
constexpr SResultName kResults[] = {PRAVIK_RESULTS(PRAVIK_RESULT_ROW)};
#undef PRAVIK_RESULT_ROW

}  // namespace

const SCommandInfo* FindCommand(EFrameForm form, std::uint32_t code) {
    if (code >= 256) return nullptr;
    const SLookup& l = Lookup();
    return form == EFrameForm::General ? l.general[code] : l.mini[code];
}

const SCommandInfo* CommandRows(std::size_t* count) {
    if (count) *count = std::size(kRows);
    return kRows;
}

const char* ResultName(std::int32_t code) {
    for (const SResultName& r : kResults) {
        if (r.code == code) return r.name;
    }
    return nullptr;
}
