#pragma once

#include <cstddef>
#include <string>

namespace platform {

enum class FileRead {
    Ok,          // read (content holds at most maxBytes of it)
    Missing,     // no such file
    NotRegular,  // a folder, FIFO, device or socket: refused without waiting on it
    Failed,      // there, but it could not be opened or read (error says why)
};

// Reads at most maxBytes from the start of the regular file at path into content; longer
// (when given) tells whether the file holds more than that. Opening never waits: a FIFO
// without a writer or a device is refused, not read. Any thread.
FileRead readRegularFile(const std::string& path, std::size_t maxBytes, std::string& content, bool* longer,
                         std::string* error);

// Replaces the file at path with contents: written to a temporary file in the same folder,
// flushed to the disk, then renamed over path, so that a crash at any moment leaves either
// the old file or the new one, whole. The new file keeps the old one's permissions. False
// (with the reason in error) on any failure; the old file is then untouched. Any thread.
bool replaceFile(const std::string& path, const std::string& contents, std::string* error);

} // namespace platform
