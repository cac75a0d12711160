#include "platform/sysfs/SysfsNet.h"

#include "measure/InterfaceName.h"
#include "platform/RegularFile.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <net/if.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

std::mutex rootMutex;
std::string systemRoot; // guarded by rootMutex; empty means the default

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

// The device's directory, or an invalid Fd when the name is unusable or unknown.
Fd openDevice(const std::string& root, std::string_view name)
{
    if (!SysfsNet::validName(name))
        return Fd(-1);
    std::string path = root;
    path += '/';
    path += name;
    return Fd(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

bool hasEntry(const Fd& dir, const char* entry)
{
    struct stat st {};
    return ::fstatat(dir.get(), entry, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool hasDirectory(const Fd& dir, const char* entry)
{
    struct stat st {};
    return ::fstatat(dir.get(), entry, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::string> readBounded(const Fd& dir, const std::string& entry)
{
    regular_file::Read r =
        regular_file::read(dir.get(), entry.c_str(), SysfsNet::maxAttributeBytes);
    if (r.status != regular_file::Read::ok && r.status != regular_file::Read::tooLarge)
        return std::nullopt; // e.g. `speed` of a link that is down: EINVAL
    std::string text = std::move(r.bytes);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    return text;
}

} // namespace

SysfsNet::SysfsNet(std::string root) : root_(std::move(root)) {}

SysfsNet SysfsNet::system()
{
    std::lock_guard lock(rootMutex);
    return systemRoot.empty() ? SysfsNet() : SysfsNet(systemRoot);
}

void SysfsNet::setSystemRootForTesting(std::string root)
{
    std::lock_guard lock(rootMutex);
    systemRoot = std::move(root);
}

bool SysfsNet::validName(std::string_view name)
{
    return validInterfaceName(name);
}

std::optional<uint32_t> SysfsNet::parseArphrd(std::string_view text)
{
    // ARPHRD values are 16-bit; the kernel prints them as plain decimal.
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value > 0xFFFF)
        return std::nullopt;
    return value;
}

std::optional<uint32_t> SysfsNet::parseSpeedMbps(std::string_view text)
{
    // The kernel prints a signed int; -1 (SPEED_UNKNOWN) and the all-ones u32 mean unknown.
    int64_t mbps = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), mbps);
    if (ec != std::errc() || end != text.data() + text.size() || mbps <= 0 || mbps >= UINT32_MAX)
        return std::nullopt;
    return static_cast<uint32_t>(mbps);
}

std::optional<std::string> SysfsNet::ueventValue(std::string_view text, std::string_view key)
{
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=')
            return std::string(line.substr(key.size() + 1));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return std::nullopt;
}

std::optional<std::string> SysfsNet::readAttribute(std::string_view name,
                                                   std::string_view attr) const
{
    const Fd dir = openDevice(root_, name);
    if (!dir.valid() || attr.empty() || attr.find('/') != std::string_view::npos || attr == "..")
        return std::nullopt;
    return readBounded(dir, std::string(attr));
}

NetDeviceFacts SysfsNet::facts(std::string_view name) const
{
    NetDeviceFacts facts;
    const Fd dir = openDevice(root_, name);
    if (!dir.valid())
        return facts;
    facts.present = true;

    if (const auto type = readBounded(dir, "type"))
        facts.arphrd = parseArphrd(*type);
    if (const auto uevent = readBounded(dir, "uevent"))
        facts.devtype = ueventValue(*uevent, "DEVTYPE").value_or(std::string());
    facts.wireless = hasEntry(dir, "phy80211") || hasDirectory(dir, "wireless");
    facts.tunFlags = hasEntry(dir, "tun_flags");
    facts.backingDevice = hasEntry(dir, "device");
    facts.bridge = hasDirectory(dir, "bridge") || facts.devtype == "bridge";
    return facts;
}

bool SysfsNet::isBridge(std::string_view name) const
{
    const Fd dir = openDevice(root_, name);
    if (!dir.valid())
        return false;
    if (hasDirectory(dir, "bridge"))
        return true;
    const auto uevent = readBounded(dir, "uevent");
    return uevent && ueventValue(*uevent, "DEVTYPE") == "bridge";
}

} // namespace corvane
