#pragma once
// The value of one hexadecimal character, or -1 (also for EOF and for bytes
// beyond ASCII): what the Intel HEX reader and the file check share.
inline int HexDigit(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
