#include "protocol/Requests.h"

#include <algorithm>
#include <cstring>

namespace {

// A text field at offset: the text cut to the field less its terminator, a
// zero byte, zeros to the end of the field.
void PutText(std::vector<std::uint8_t>& data, std::size_t offset, std::size_t fieldSize, const std::string& text) {
    const std::size_t n = std::min(text.size(), fieldSize - 1);
    std::memcpy(data.data() + offset, text.data(), n);
    std::fill(data.begin() + static_cast<long>(offset + n), data.begin() + static_cast<long>(offset + fieldSize), 0);
}

SRequest WithData(std::uint32_t command, std::uint32_t param1, std::uint32_t param2, std::size_t size) {
    SRequest r = req::General(command, param1, param2);
    r.data.assign(size, 0);
    return r;
}

// Data carried by an enter-master request for each authentication type.
std::size_t AuthDataSize(std::uint32_t authType) {
    switch (authType) {
        case AUTH_MASTER_FP: return ID_FIELD_SIZE;
        case AUTH_MASTER_PASSWORD: return ID_FIELD_SIZE + PASSWORD_FIELD_SIZE;
        case AUTH_DEVICE_PASSWORD: return PASSWORD_FIELD_SIZE;
        default: return 0;
    }
}

void PutCredentials(SRequest& r, std::uint32_t authType, const std::string& id, const std::string& password) {
    switch (authType) {
        case AUTH_MASTER_FP: PutText(r.data, 0, ID_FIELD_SIZE, id); break;
        case AUTH_MASTER_PASSWORD:
            PutText(r.data, 0, ID_FIELD_SIZE, id);
            PutText(r.data, ID_FIELD_SIZE, PASSWORD_FIELD_SIZE, password);
            break;
        case AUTH_DEVICE_PASSWORD: PutText(r.data, 0, PASSWORD_FIELD_SIZE, password); break;
        default: break;
    }
}

}  // namespace

namespace req {

SRequest Verify(std::uint32_t type, const std::string& id, const std::string& password) {
    const bool withPassword = type != 0;
    SRequest r = WithData(CMD_VERIFY, type, 0, withPassword ? ID_FIELD_SIZE + PASSWORD_FIELD_SIZE : ID_FIELD_SIZE);
    PutText(r.data, 0, ID_FIELD_SIZE, id);
    if (withPassword) PutText(r.data, ID_FIELD_SIZE, PASSWORD_FIELD_SIZE, password);
    return r;
}

SRequest InstantMatch(const std::uint8_t* minutiae) {
    SRequest r = General(CMD_INSTANT_MATCH);
    r.data.assign(minutiae, minutiae + MINUTIAE_SIZE);
    return r;
}

SRequest Enroll(std::uint32_t enrollType, const std::string& id) {
    SRequest r = WithData(CMD_ENROLL, enrollType, 0, ID_FIELD_SIZE);
    PutText(r.data, 0, ID_FIELD_SIZE, id);
    return r;
}

SRequest Delete(const std::string& id) {
    SRequest r = WithData(CMD_DELETE, 0, 0, ID_FIELD_SIZE);
    PutText(r.data, 0, ID_FIELD_SIZE, id);
    return r;
}

SRequest SetMaster(std::uint32_t set, const std::string& id) {
    SRequest r = WithData(CMD_SET_MASTER, set, 0, ID_FIELD_SIZE);
    PutText(r.data, 0, ID_FIELD_SIZE, id);
    return r;
}

SRequest EnterMaster(std::uint32_t authType, const std::string& id, const std::string& password) {
    SRequest r = WithData(CMD_ENTER_MASTER, 0, authType, AuthDataSize(authType));
    PutCredentials(r, authType, id, password);
    return r;
}

SRequest EnterMasterEx(std::uint32_t authType, const std::string& id, const std::string& password) {
    SRequest r = WithData(CMD_ENTER_MASTER_EX, authType, 0, AuthDataSize(authType));
    PutCredentials(r, authType, id, password);
    return r;
}

SRequest SetMasterPassword(const std::string& password) {
    SRequest r = WithData(CMD_SET_MASTER_PASSWORD, 0, 0, PASSWORD_FIELD_SIZE);
    PutText(r.data, 0, PASSWORD_FIELD_SIZE, password);
    return r;
}

SRequest WriteUserData(std::uint32_t address, std::uint32_t size, const std::string& text) {
    SRequest r = WithData(CMD_WRITE_USER_DATA, address, size, size);
    // The text with its terminator; anything beyond it is zero.
    std::memcpy(r.data.data(), text.data(), std::min<std::size_t>(text.size(), size));
    return r;
}

SRequest EnrollEx(std::uint32_t enrollType, std::uint32_t step, const std::string& id,
                  const std::string& password) {
    if (step != 0) return General(CMD_ENROLL_EX, enrollType, step);
    SRequest r = WithData(CMD_ENROLL_EX, enrollType, step, ID_FIELD_SIZE + PASSWORD_FIELD_SIZE);
    PutText(r.data, 0, ID_FIELD_SIZE, id);
    PutText(r.data, ID_FIELD_SIZE, PASSWORD_FIELD_SIZE, password);
    return r;
}

SRequest SetOppOption(std::uint32_t gain, std::uint32_t brightness, std::uint32_t contrast) {
    return General(CMD_SET_OPP_OPTION, 0, (gain * 65536u) | (brightness * 256u) | contrast);
}

SRequest SetSecurityLevel(std::uint32_t verifyLevel, std::uint32_t identifyLevel) {
    return General(CMD_SET_SECURITY_LEVEL, 0, (verifyLevel * 65536u) | identifyLevel);
}

}  // namespace req
