#include "platform/sysfs/SystemLinks.h"

#include "measure/LinkInfo.h"
#include "measure/NetworkInfo.h"
#include "platform/sysfs/SysfsNet.h"

#include <ifaddrs.h>
#include <map>
#include <memory>

namespace corvane::SystemLinks {

namespace {

std::map<std::string, LinkKind, std::less<>>& cache()
{
    static std::map<std::string, LinkKind, std::less<>> entries;
    return entries;
}

struct IfAddrsDeleter {
    void operator()(ifaddrs* list) const { ::freeifaddrs(list); }
};
using IfAddrsList = std::unique_ptr<ifaddrs, IfAddrsDeleter>;

// The list stays owned by `owner`, which frees it on every path; the entries borrow from it.
std::optional<std::vector<NetworkInfo::AddressEntry>> readAddresses(IfAddrsList& owner)
{
    ifaddrs* raw = nullptr;
    if (::getifaddrs(&raw) != 0)
        return std::nullopt;
    owner.reset(raw);
    std::vector<NetworkInfo::AddressEntry> entries;
    for (const ifaddrs* it = owner.get(); it; it = it->ifa_next) {
        if (it->ifa_name)
            entries.push_back({it->ifa_name, it->ifa_flags, it->ifa_addr});
    }
    return entries;
}

} // namespace

LinkKind kind(std::string_view name)
{
    auto& entries = cache();
    if (const auto it = entries.find(name); it != entries.end())
        return it->second;
    const LinkKind result = LinkInfo::tunnelByName(name)
                                ? LinkKind::vpn
                                : LinkInfo::classify(name, SysfsNet::system().facts(name));
    entries.emplace(std::string(name), result);
    return result;
}

void resetCacheForTesting()
{
    cache().clear();
}

std::vector<std::string> upInterfaces()
{
    IfAddrsList owner;
    const auto entries = readAddresses(owner);
    if (!entries)
        return {};
    const SysfsNet sysfs = SysfsNet::system();
    return NetworkInfo::selectUp(*entries,
                                 [&sysfs](std::string_view name) { return sysfs.isBridge(name); });
}

std::optional<std::string> localIPv4(std::string_view name)
{
    IfAddrsList owner;
    const auto entries = readAddresses(owner);
    return entries ? NetworkInfo::firstIPv4(*entries, name) : std::nullopt;
}

} // namespace corvane::SystemLinks
