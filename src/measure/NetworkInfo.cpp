#include "measure/NetworkInfo.h"

#include "platform/sysfs/SysfsNet.h"

#include <array>
#include <ifaddrs.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <set>
#include <sys/socket.h>

namespace corvane::NetworkInfo {

namespace {

struct IfAddrsDeleter {
    void operator()(ifaddrs* list) const { ::freeifaddrs(list); }
};
using IfAddrsList = std::unique_ptr<ifaddrs, IfAddrsDeleter>;

// The list stays owned by `owner`, which frees it on every path; the entries borrow from it.
std::optional<std::vector<AddressEntry>> readAddresses(IfAddrsList& owner)
{
    ifaddrs* raw = nullptr;
    if (::getifaddrs(&raw) != 0)
        return std::nullopt;
    owner.reset(raw);
    std::vector<AddressEntry> entries;
    for (const ifaddrs* it = owner.get(); it; it = it->ifa_next) {
        if (it->ifa_name)
            entries.push_back({it->ifa_name, it->ifa_flags, it->ifa_addr});
    }
    return entries;
}

bool isIPv4(const AddressEntry& entry)
{
    return entry.address && entry.address->sa_family == AF_INET;
}

} // namespace

bool excludedByName(std::string_view name)
{
    return name.starts_with("bridge");
}

std::vector<std::string> selectUp(std::span<const AddressEntry> entries,
                                  const std::function<bool(std::string_view)>& isBridge)
{
    std::set<std::string, std::less<>> names;
    for (const AddressEntry& entry : entries) {
        if (isIPv4(entry) && (entry.flags & upMask) == upValue && !excludedByName(entry.name))
            names.emplace(entry.name);
    }
    std::vector<std::string> result;
    result.reserve(names.size());
    for (const std::string& name : names) {
        if (!isBridge || !isBridge(name))
            result.push_back(name);
    }
    return result;
}

std::optional<std::string> firstIPv4(std::span<const AddressEntry> entries, std::string_view name)
{
    for (const AddressEntry& entry : entries) {
        if (!isIPv4(entry) || entry.name != name)
            continue;
        std::array<char, NI_MAXHOST> host{};
        if (::getnameinfo(entry.address, sizeof(sockaddr_in), host.data(), host.size(), nullptr, 0,
                          NI_NUMERICHOST) == 0)
            return std::string(host.data());
    }
    return std::nullopt;
}

std::vector<std::string> upInterfaces()
{
    IfAddrsList owner;
    const auto entries = readAddresses(owner);
    if (!entries)
        return {};
    const SysfsNet sysfs = SysfsNet::system();
    return selectUp(*entries, [&sysfs](std::string_view name) { return sysfs.isBridge(name); });
}

std::optional<std::string> localIPv4(std::string_view name)
{
    IfAddrsList owner;
    const auto entries = readAddresses(owner);
    return entries ? firstIPv4(*entries, name) : std::nullopt;
}

} // namespace corvane::NetworkInfo
