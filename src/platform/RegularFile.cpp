#include "platform/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::regular_file {

Read read(int dirFd, const char* path, std::size_t limit)
{
    Read r;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::openat(dirFd, path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        r.error = errno;
        r.status = r.error == ENOENT ? Read::missing : Read::failed;
        return r;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        r.status = Read::notRegular;
        return r;
    }
    // One byte past the limit tells a file that is too large from one that fills it.
    const std::size_t want = limit + 1;
    r.bytes.resize(std::min<std::size_t>(want, std::size_t(std::max<off_t>(st.st_size, 0)) + 1));
    std::size_t used = 0;
    r.status = Read::ok;
    while (used < want) {
        if (used == r.bytes.size())
            r.bytes.resize(std::min(want, r.bytes.size() * 2));
        const ssize_t n = ::read(fd, r.bytes.data() + used, r.bytes.size() - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            r.error = errno;
            r.status = Read::failed;
            break;
        }
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (r.status == Read::ok && used > limit) {
        r.status = Read::tooLarge;
        used = limit;
    }
    r.bytes.resize(r.status == Read::failed ? 0 : used);
    return r;
}

bool occupiedByOther(const char* path)
{
    struct stat st {};
    return ::stat(path, &st) == 0 && !S_ISREG(st.st_mode);
}

} // namespace corvane::regular_file
