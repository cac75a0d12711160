#include "platform/nl80211/NetlinkChannel.h"

#include <cerrno>
#include <libmnl/libmnl.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>

namespace corvane::nl80211 {

std::unique_ptr<SocketChannel> SocketChannel::open()
{
    mnl_socket* socket = mnl_socket_open2(NETLINK_GENERIC, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (!socket)
        return nullptr;
    if (mnl_socket_bind(socket, 0, MNL_SOCKET_AUTOPID) < 0) {
        mnl_socket_close(socket);
        return nullptr;
    }
    return std::unique_ptr<SocketChannel>(new SocketChannel(socket));
}

SocketChannel::SocketChannel(mnl_socket* socket) : socket_(socket) {}

SocketChannel::~SocketChannel()
{
    mnl_socket_close(socket_);
}

int SocketChannel::fd() const
{
    return mnl_socket_get_fd(socket_);
}

bool SocketChannel::joinGroup(uint32_t group)
{
    // setsockopt rather than bind: generic netlink group ids can exceed 32.
    int id = static_cast<int>(group);
    return mnl_socket_setsockopt(socket_, NETLINK_ADD_MEMBERSHIP, &id, sizeof(id)) == 0;
}

uint32_t SocketChannel::portId() const
{
    return mnl_socket_get_portid(socket_);
}

bool SocketChannel::send(std::span<const uint8_t> message)
{
    ssize_t sent = mnl_socket_sendto(socket_, message.data(), message.size());
    return sent == static_cast<ssize_t>(message.size());
}

Datagram SocketChannel::receive(std::chrono::milliseconds wait)
{
    const int fd = this->fd();
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, static_cast<int>(wait.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return {errno, {}};
        if (ready == 0)
            return {EAGAIN, {}};

        // Size the buffer to the datagram so nothing is cut off.
        ssize_t size = recv(fd, nullptr, 0, MSG_PEEK | MSG_TRUNC);
        if (size < 0) {
            if (errno == EINTR)
                continue;
            return {errno, {}};
        }
        std::vector<uint8_t> buffer(static_cast<size_t>(size > 0 ? size : 1));
        sockaddr_nl from{};
        iovec iov{buffer.data(), buffer.size()};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof(from);
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        ssize_t got = recvmsg(fd, &msg, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return {errno, {}};
        }
        // Only the kernel speaks for itself; anything else is dropped.
        if (from.nl_pid != 0 || (msg.msg_flags & MSG_TRUNC))
            continue;
        buffer.resize(static_cast<size_t>(got));
        return {0, std::move(buffer)};
    }
}

} // namespace corvane::nl80211
