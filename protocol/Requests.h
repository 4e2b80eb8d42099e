#pragma once
// A request to the module as a value, and the builders of the requests that
// carry more than a command and two numbers.
//
// A General request is a command, two parameters and a data area (the error
// code of a request is always 0); a Minimized request is a command byte and
// two argument bytes. The module client frames, sends and guards it. Text
// fields hold the text's bytes (at most the field less one), a zero byte and
// zeros to the end of the field.
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/CommandCatalog.h"

struct SRequest {
    EFrameForm form = EFrameForm::General;
    std::uint32_t command = 0;
    // General: m_Param1 and m_Param2. Minimized: argument bytes 3 and 4.
    std::uint32_t param1 = 0;
    std::uint32_t param2 = 0;
    std::vector<std::uint8_t> data;  // General data area

    bool IsMini() const { return form == EFrameForm::Minimized; }
};

// Enter-master authentication types (m_Param2 of CMD_ENTER_MASTER, m_Param1
// of CMD_ENTER_MASTER_EX).
enum : std::uint32_t {
    AUTH_MASTER_FP = 0,        // an ID field: the master's finger
    AUTH_MASTER_PASSWORD = 1,  // ID and password fields (new form only)
    AUTH_DEVICE_PASSWORD = 2,  // a password field
    AUTH_NONE = 3,             // no data: the opening request
};

namespace req {

// A General request without data.
inline SRequest General(std::uint32_t command, std::uint32_t param1 = 0, std::uint32_t param2 = 0) {
    SRequest r;
    r.command = command;
    r.param1 = param1;
    r.param2 = param2;
    return r;
}

// A Minimized frame.
inline SRequest Mini(std::uint8_t command, std::uint8_t arg1 = 0, std::uint8_t arg2 = 0) {
    SRequest r;
    r.form = EFrameForm::Minimized;
    r.command = command;
    r.param1 = arg1;
    r.param2 = arg2;
    return r;
}

// type 0: by ID (10 data bytes); 1: by ID and password (26 data bytes).
SRequest Verify(std::uint32_t type, const std::string& id, const std::string& password = {});
SRequest InstantMatch(const std::uint8_t* minutiae);  // MINUTIAE_SIZE bytes
SRequest Enroll(std::uint32_t enrollType, const std::string& id);
SRequest Delete(const std::string& id);
SRequest SetMaster(std::uint32_t set, const std::string& id);
// The old form: the type in m_Param2; the new form: the type in m_Param1.
SRequest EnterMaster(std::uint32_t authType, const std::string& id = {}, const std::string& password = {});
SRequest EnterMasterEx(std::uint32_t authType, const std::string& id = {}, const std::string& password = {});
SRequest SetMasterPassword(const std::string& password);
// The first size bytes of text (with its terminator when it fits), zeros after.
SRequest WriteUserData(std::uint32_t address, std::uint32_t size, const std::string& text);
// step 0 carries the ID and password fields, step 1 no data.
SRequest EnrollEx(std::uint32_t enrollType, std::uint32_t step, const std::string& id = {},
                  const std::string& password = {});
SRequest SetOppOption(std::uint32_t gain, std::uint32_t brightness, std::uint32_t contrast);
SRequest SetSecurityLevel(std::uint32_t verifyLevel, std::uint32_t identifyLevel);

}  // namespace req
