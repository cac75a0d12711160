// Generic netlink replies and nl80211 messages: the reply walker, every parser, the event
// check and the information-element walk. Beyond not crashing: an SSID found among the
// elements is one whole element, and a message the walker keeps has its headers.
#include "platform/nl80211/Nl80211Parse.h"

#include <cstdlib>
#include <linux/genetlink.h>
#include <linux/netlink.h>

using namespace corvane;
using namespace corvane::nl80211;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

// Independent of the parser: walks the elements by index.
std::optional<std::string> ssidOracle(std::span<const uint8_t> ie)
{
    for (size_t i = 0; i + 2 <= ie.size();) {
        const size_t len = ie[i + 1];
        if (i + 2 + len > ie.size())
            return std::nullopt;
        if (ie[i] == 0)
            return len <= 32 ? std::optional<std::string>(
                                   std::string(ie.begin() + i + 2, ie.begin() + i + 2 + len))
                             : std::nullopt;
        i += 2 + len;
    }
    return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    check(ssidFromElements(bytes) == ssidOracle(bytes));
    if (size < 2)
        return 0;
    // The first two bytes pick the family id the walker is told to expect.
    const uint16_t family = uint16_t(data[0] | data[1] << 8);
    const auto datagram = bytes.subspan(2);

    ReplyState state;
    walkReply(datagram, family, 0, 0, state);
    networkChangeIn(datagram, family);
    for (const Message& m : state.messages) {
        check(m.bytes.size() >= NLMSG_HDRLEN + GENL_HDRLEN && m.type() == family);
        parseFamily(m);
        parseInterface(m);
        parseScanEntry(m);
        parseStation(m);
        parseSurvey(m);
    }
    return 0;
}
