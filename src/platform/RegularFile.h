#pragma once

#include <cstddef>
#include <string>

// Reading files that someone else controls. They are opened non-blocking and read only when
// they are regular files, so a FIFO or a device in their place can neither stall nor flood the
// reader. Never throws; safe from any thread.
namespace corvane::regular_file {

struct Read {
    enum Status { ok, missing, notRegular, tooLarge, failed };
    Status status = failed;
    std::string bytes; // ok: the whole content; tooLarge: its first `limit` bytes
    int error = 0;     // errno of a failed open or read
};

// Reads at most `limit` bytes of `path`, resolved against the directory `dirFd` (AT_FDCWD for
// the working directory; ignored for an absolute path).
Read read(int dirFd, const char* path, std::size_t limit);

// True when something other than a regular file (a FIFO, a device, a directory) is at `path`,
// following symlinks: nothing should be written through it or put in its place.
bool occupiedByOther(const char* path);

} // namespace corvane::regular_file
