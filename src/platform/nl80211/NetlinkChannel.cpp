#include "platform/nl80211/NetlinkChannel.h"

#include <cerrno>
#include <poll.h>

namespace corvane::nl80211 {

std::unique_ptr<SocketChannel> SocketChannel::open()
{
    std::unique_ptr<SocketChannel> channel(new SocketChannel);
    if (!channel->socket_.ensureOpen())
        return nullptr;
    return channel;
}

int SocketChannel::fd() const
{
    return socket_.fd();
}

bool SocketChannel::joinGroup(uint32_t group)
{
    return socket_.joinGroup(group);
}

uint32_t SocketChannel::portId() const
{
    return socket_.portid();
}

bool SocketChannel::send(std::span<const uint8_t> message)
{
    return socket_.send(message);
}

Datagram SocketChannel::receive(std::chrono::milliseconds wait)
{
    for (;;) {
        pollfd p{socket_.fd(), POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(wait.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return {errno, {}};
        if (ready == 0)
            return {EAGAIN, {}};
        const NetlinkSocket::Received r = socket_.receive(false);
        // Not from the kernel (anyone may send to our port), or taken meanwhile: wait on.
        if (r.error == EPERM || r.error == EAGAIN)
            continue;
        // Cut short: the buffer has grown, but the datagram is lost like an overflow's.
        if (r.error == EMSGSIZE)
            return {ENOBUFS, {}};
        if (r.error != 0)
            return {r.error, {}};
        return {0, {r.data.begin(), r.data.end()}};
    }
}

} // namespace corvane::nl80211
