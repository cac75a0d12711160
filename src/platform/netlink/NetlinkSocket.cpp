#include "platform/netlink/NetlinkSocket.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <libmnl/libmnl.h>
#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane {

namespace {

constexpr int maxInterruptedCalls = 4;
// Enough for any dump we abandon; past it the socket is reopened instead.
constexpr int maxDrainedDatagrams = 1024;

bool setReceiveTimeout(int fd, std::chrono::milliseconds timeout)
{
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
    return setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv)) == 0;
}

} // namespace

NetlinkSocket::NetlinkSocket(std::chrono::milliseconds timeout, uint32_t groups, int protocol)
    : timeout_(timeout), groups_(groups), protocol_(protocol), buffer_(initialBufferSize)
{}

NetlinkSocket::NetlinkSocket(int fd, uint32_t portid, std::chrono::milliseconds timeout)
    : timeout_(timeout), fd_(fd), adopted_(true), portid_(portid), buffer_(initialBufferSize)
{
    setReceiveTimeout(fd_, timeout_);
}

NetlinkSocket::~NetlinkSocket()
{
    close();
}

void NetlinkSocket::close()
{
    if (mnl_)
        mnl_socket_close(mnl_);
    else if (fd_ >= 0)
        ::close(fd_);
    mnl_ = nullptr;
    fd_ = -1;
}

bool NetlinkSocket::ensureOpen()
{
    if (fd_ >= 0)
        return true;
    if (adopted_)
        return false;
    mnl_socket* nl = mnl_socket_open2(protocol_, SOCK_CLOEXEC);
    if (!nl)
        return false;
    if (mnl_socket_bind(nl, groups_, MNL_SOCKET_AUTOPID) < 0 ||
        !setReceiveTimeout(mnl_socket_get_fd(nl), timeout_)) {
        mnl_socket_close(nl);
        return false;
    }
    // Lets the kernel filter the route dump by table (Linux 4.20+); older kernels refuse the
    // option and send everything, which the parser filters anyway.
    int on = 1;
    if (protocol_ == NETLINK_ROUTE)
        mnl_socket_setsockopt(nl, NETLINK_GET_STRICT_CHK, &on, sizeof(on));
    mnl_ = nl;
    fd_ = mnl_socket_get_fd(nl);
    portid_ = mnl_socket_get_portid(nl);
    seq_ = static_cast<uint32_t>(time(nullptr));
    stale_ = false;
    return true;
}

void NetlinkSocket::drain()
{
    stale_ = false;
    for (int i = 0; i < maxDrainedDatagrams; ++i) {
        const ssize_t n = recv(fd_, nullptr, 0, MSG_DONTWAIT | MSG_TRUNC);
        if (n > 0 || (n < 0 && (errno == EINTR || errno == ENOBUFS)))
            continue;
        return; // empty (EAGAIN), end of stream, or a real error the next receive reports
    }
    if (!adopted_)
        close();
}

bool NetlinkSocket::discardQueued()
{
    if (!ensureOpen())
        return false;
    bool any = false;
    for (int i = 0; i < maxDrainedDatagrams; ++i) {
        sockaddr_nl from{};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof(from);
        const ssize_t n = recvmsg(fd_, &msg, MSG_DONTWAIT | MSG_TRUNC);
        if (n > 0) {
            // Anyone may send to our port; only the kernel's news count.
            any = any || adopted_ || (msg.msg_namelen >= sizeof(from) && from.nl_pid == 0);
        } else if (n < 0 && errno == ENOBUFS) {
            ++overflows_;
            any = true;
        } else if (n == 0 || errno != EINTR) {
            // Empty (EAGAIN) or end of stream; any other error leaves us in doubt.
            return any || (n < 0 && errno != EAGAIN);
        }
    }
    return true; // more keep coming: the rest is for the next call
}

std::optional<uint32_t> NetlinkSocket::send(nlmsghdr& request)
{
    if (stale_)
        drain();
    if (!ensureOpen())
        return std::nullopt;
    request.nlmsg_seq = ++seq_;
    request.nlmsg_pid = 0;
    for (int i = 0; i < maxInterruptedCalls; ++i) {
        const ssize_t n = ::send(fd_, &request, request.nlmsg_len, MSG_NOSIGNAL);
        if (n == static_cast<ssize_t>(request.nlmsg_len))
            return request.nlmsg_seq;
        if (n >= 0 || errno != EINTR)
            break;
    }
    return std::nullopt;
}

bool NetlinkSocket::send(std::span<const uint8_t> message)
{
    if (!ensureOpen())
        return false;
    for (int i = 0; i < maxInterruptedCalls; ++i) {
        const ssize_t n = ::send(fd_, message.data(), message.size(), MSG_NOSIGNAL);
        if (n == static_cast<ssize_t>(message.size()))
            return true;
        if (n >= 0 || errno != EINTR)
            break;
    }
    return false;
}

bool NetlinkSocket::joinGroup(uint32_t group)
{
    const int id = static_cast<int>(group);
    return ensureOpen() &&
           setsockopt(fd_, SOL_NETLINK, NETLINK_ADD_MEMBERSHIP, &id, sizeof(id)) == 0;
}

NetlinkSocket::Received NetlinkSocket::receive(bool wait)
{
    if (fd_ < 0)
        return {{}, EBADF};
    for (int i = 0; i < maxInterruptedCalls; ++i) {
        // One call takes the datagram and, with MSG_TRUNC, reports its real length: a
        // reply that did not fit is lost, the buffer grows once, and the caller asks again.
        // Cheaper than sizing every datagram with a MSG_PEEK first; recvfrom() rather than
        // recvmsg() spares the kernel copying in a message header on every reply.
        sockaddr_nl from{};
        socklen_t fromLength = sizeof(from);
        const ssize_t n =
            recvfrom(fd_, buffer_.data(), buffer_.size(), MSG_TRUNC | (wait ? 0 : MSG_DONTWAIT),
                     reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return {{}, errno};
        }
        if (n == 0)
            return {{}, ENODATA}; // end of stream or an empty datagram: never a reply
        if (static_cast<size_t>(n) > buffer_.size()) {
            buffer_.resize(std::max(buffer_.size(), static_cast<size_t>(n) + bufferSlack));
            return {{}, EMSGSIZE};
        }
        // Only the kernel (port 0) may answer; anyone can send to our port.
        if (!adopted_ &&
            (fromLength < sizeof(from) || from.nl_family != AF_NETLINK || from.nl_pid != 0))
            return {{}, EPERM};
        return {std::span<const uint8_t>(buffer_.data(), static_cast<size_t>(n)), 0};
    }
    return {{}, EINTR};
}

} // namespace corvane
