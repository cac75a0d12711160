#include "measure/NetworkInfo.h"

#include <array>
#include <netdb.h>
#include <netinet/in.h>
#include <set>
#include <sys/socket.h>

namespace corvane::NetworkInfo {

namespace {

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

} // namespace corvane::NetworkInfo
