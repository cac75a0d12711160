// sysfs values: `type` and `speed` against strtoul's and strtoll's reading, and uevent lookup
// against a line-by-line split.
#include "platform/sysfs/SysfsNet.h"

#include <cstdlib>
#include <string>

using namespace corvane;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

std::optional<uint32_t> arphrdOracle(const std::string& text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 5)
        return std::nullopt;
    const unsigned long v = std::strtoul(text.c_str(), nullptr, 10);
    return v <= 0xFFFF ? std::optional<uint32_t>(uint32_t(v)) : std::nullopt;
}

std::optional<uint32_t> speedOracle(const std::string& text)
{
    const size_t digits = text.find_first_not_of("0123456789", text.starts_with('-') ? 1 : 0);
    if (text.empty() || text == "-" || digits != std::string::npos || text.size() > 18)
        return std::nullopt;
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    return v > 0 && v < 0xFFFFFFFFLL ? std::optional<uint32_t>(uint32_t(v)) : std::nullopt;
}

std::optional<std::string> ueventOracle(const std::string& text, const std::string& key)
{
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
        at = end + 1;
    }
    return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > SysfsNet::maxAttributeBytes)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    check(SysfsNet::parseArphrd(text) == arphrdOracle(text));
    if (text.size() <= 18)
        check(SysfsNet::parseSpeedMbps(text) == speedOracle(text));
    for (const char* key : {"DEVTYPE", "INTERFACE", "D"})
        check(SysfsNet::ueventValue(text, key) == ueventOracle(text, key));
    return 0;
}
