// The shared netlink walker against libmnl's own validation: both must see the same
// attributes and messages, and the walker must call damaged exactly what libmnl stops at.
#include "platform/netlink/NlWalk.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <libmnl/libmnl.h>
#include <vector>

using namespace corvane;

namespace {

struct Seen {
    uint16_t type;
    size_t offset, length;
    friend bool operator==(const Seen&, const Seen&) = default;
};

void check(bool ok)
{
    if (!ok)
        std::abort();
}

// The typed readers agree with mnl_attr_validate for the types they stand for.
void compareReaders(const nlattr* attr, nl::Bytes payload)
{
    uint8_t u8 = 0;
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    uint64_t u64 = 0;
    std::string_view text;
    check(nl::read(payload, u8) == (mnl_attr_validate(attr, MNL_TYPE_U8) == 0));
    check(nl::read(payload, u16) == (mnl_attr_validate(attr, MNL_TYPE_U16) == 0));
    check(nl::read(payload, u32) == (mnl_attr_validate(attr, MNL_TYPE_U32) == 0));
    check(nl::read(payload, u64) == (mnl_attr_validate(attr, MNL_TYPE_U64) == 0));
    check(nl::readString(payload, text) == (mnl_attr_validate(attr, MNL_TYPE_NUL_STRING) == 0));
    if (!payload.empty() && payload.back() == 0)
        check(text == mnl_attr_get_str(attr));
}

void compareAttributes(const uint8_t* base, size_t size, int depth)
{
    std::vector<Seen> ours, theirs;
    const bool ok = nl::forEachAttribute(nl::Bytes(base, size), [&](uint16_t type, nl::Bytes p) {
        ours.push_back({type, size_t(p.data() - base), p.size()});
        return true;
    });
    const nlattr* attr = nullptr;
    const nlattr* last = nullptr;
    for (attr = static_cast<const nlattr*>(static_cast<const void*>(base));
         mnl_attr_ok(attr, int(reinterpret_cast<const char*>(base) + (size) -
                               reinterpret_cast<const char*>(attr)));
         attr = mnl_attr_next(attr)) {
        const auto* payload = static_cast<const uint8_t*>(mnl_attr_get_payload(attr));
        theirs.push_back(
            {mnl_attr_get_type(attr), size_t(payload - base), mnl_attr_get_payload_len(attr)});
        compareReaders(attr, nl::Bytes(payload, mnl_attr_get_payload_len(attr)));
        if (depth < 3)
            compareAttributes(payload, mnl_attr_get_payload_len(attr), depth + 1);
        last = attr;
    }
    check(ours == theirs);
    // libmnl stops quietly; the walker calls it damage unless the area was used up.
    const size_t used =
        last ? size_t(reinterpret_cast<const uint8_t*>(last) - base) + MNL_ALIGN(last->nla_len) : 0;
    check(ok == (used >= size));
}

void compareMessages(const uint8_t* base, size_t size)
{
    std::vector<Seen> ours, theirs;
    const nl::Walk walk =
        nl::forEachMessage(nl::Bytes(base, size), [&](const nlmsghdr& h, nl::Bytes p) {
            ours.push_back({h.nlmsg_type, size_t(p.data() - base), p.size()});
            return true;
        });
    int left = static_cast<int>(size);
    const auto* nlh = reinterpret_cast<const nlmsghdr*>(base);
    while (mnl_nlmsg_ok(nlh, left)) {
        // libmnl casts the length to int: one of 2 GiB or more passes its check and sends
        // the walk far outside the buffer. The walker must call it damage.
        if (nlh->nlmsg_len > uint32_t(INT32_MAX)) {
            check(ours == theirs && walk == nl::Walk::Damaged);
            return;
        }
        const auto* payload = static_cast<const uint8_t*>(mnl_nlmsg_get_payload(nlh));
        theirs.push_back(
            {nlh->nlmsg_type, size_t(payload - base), nlh->nlmsg_len - MNL_NLMSG_HDRLEN});
        nlh = mnl_nlmsg_next(nlh, &left);
    }
    check(ours == theirs);
    check((walk == nl::Walk::Exhausted) == (size > 0 && left <= 0));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 65535)
        return 0;
    // libmnl reads headers in place: give it the alignment a receive buffer has.
    std::vector<uint32_t> aligned(size / 4 + 1);
    std::memcpy(aligned.data(), data, size);
    const auto* bytes = reinterpret_cast<const uint8_t*>(aligned.data());
    compareAttributes(bytes, size, 0);
    compareMessages(bytes, size);
    return 0;
}
