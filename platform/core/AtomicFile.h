#pragma once
// Writing a file whole or not at all: the bytes go to a temporary file in the
// same folder, which is flushed to the disk and then renamed over the target,
// and the folder's entry is made durable. A failure at any step removes the
// temporary file and leaves an existing target as it was. The target keeps
// its permission bits; a new file gets 0644.
#include <cstddef>
#include <string>

// Writes size bytes to path. False on any failure, with the system's errno in
// *error when given. path names the file itself (a symbolic link is replaced
// by the new file; resolve it first to rewrite the file it points at).
bool WriteFileAtomically(const std::string& path, const void* bytes, std::size_t size, int* error = nullptr);
