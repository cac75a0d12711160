#include "platform/netlink/NlWalk.h"

#include "support/NlBytes.h"

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::testing;

namespace {

enum : uint16_t { U32 = 1, Text = 2, Nest = 3, Unknown = 4 };

// Reads every attribute the way the parsers do: a u32, a string, a nest of the same; an
// unknown type is passed over.
bool readAll(nl::Bytes area)
{
    return nl::forEachAttribute(area, [](uint16_t type, nl::Bytes p) {
        uint32_t n = 0;
        std::string_view s;
        switch (type) {
        case U32:
            return nl::read(p, n);
        case Text:
            return nl::readString(p, s);
        case Nest:
            return readAll(p);
        default:
            return true;
        }
    });
}

Bytes cut(Bytes b, size_t drop)
{
    b.resize(b.size() - drop);
    return b;
}

Bytes withLength(Bytes b, uint32_t len)
{
    std::memcpy(b.data(), &len, sizeof(len));
    return b;
}

TEST(NlWalk, DamageTable)
{
    const Attrs inner = Attrs().num<uint32_t>(U32, 7).str(Text, "wlan0");
    const struct {
        const char* name;
        Bytes area;
        bool ok;
    } table[] = {
        {"Whole", Attrs(inner).nest(Nest, inner).bytes, true},
        {"Empty", {}, true},
        {"LastPaddingLeftOff", cut(Attrs().raw(Text, {'a', 0}).bytes, 2), true},
        {"TruncatedHeader", Attrs(inner).bytes + Bytes{8, 0}, false},
        {"ShorterThanItsHeader", Attrs().raw(Unknown, {}, 2).bytes, false},
        {"ZeroLength", Bytes{0, 0, U32, 0, 7, 0, 0, 0}, false},
        {"LengthPastTheEnd", Attrs().raw(U32, bytesOf<uint32_t>(7), 12).bytes, false},
        {"WrongFixedSizeShort", Attrs().num<uint16_t>(U32, 7).bytes, false},
        {"WrongFixedSizeLong", Attrs().num<uint64_t>(U32, 7).bytes, false},
        {"MissingNul", Attrs().raw(Text, {'w', 'l'}).bytes, false},
        {"EmptyString", Attrs().raw(Text, {}).bytes, false},
        {"NestCutShort", Attrs().nest(Nest, Attrs().raw(U32, bytesOf<uint32_t>(7), 20)).bytes,
         false},
        {"NestEndsInAPartialHeader", Attrs().raw(Nest, {4, 0}).bytes, false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(readAll(row.area), row.ok);
    }

    // Messages: the same bounds, one level up.
    const Bytes message = nlmsg(NLMSG_NOOP, 0, 1, inner.bytes);
    const struct {
        const char* name;
        Bytes datagram;
        nl::Walk walk;
    } messages[] = {
        {"TwoWhole", message + message, nl::Walk::Exhausted},
        {"Empty", {}, nl::Walk::Damaged},
        {"HeaderCutShort", message + Bytes(8, 0), nl::Walk::Damaged},
        {"LengthPastTheEnd", cut(message, 1), nl::Walk::Damaged},
        {"ShorterThanItsHeader", withLength(message, 8), nl::Walk::Damaged},
    };
    for (const auto& row : messages) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(nl::forEachMessage(row.datagram,
                                     [](const nlmsghdr&, nl::Bytes p) {
                                         EXPECT_TRUE(readAll(p));
                                         return true;
                                     }),
                  row.walk);
    }
}

} // namespace
