// The owners of the network's descriptors: a NetSocket closes its socket once, through the
// Network, whichever way ownership goes; a connection closes the socket it holds; the socket
// calls give the descriptor and the error together.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "../interp/fixture.h"
#include "net/connection.h"
#include "platform/socket.h"

namespace parlendo {
namespace {

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

TEST(NetSocket, ClosesOnceThroughItsOwnerAndWithItsConnection) {
    testing::Machine m;
    Network net(m.settings, nullptr);
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const int a = pair[0], b = pair[1];
    {
        NetSocket first(net, UniqueFd(a));
        NetSocket moved(std::move(first));
        // The moved-from owner holds nothing to close.
        first.reset();  // NOLINT(bugprone-use-after-move)
        EXPECT_TRUE(isOpen(a));
        NetSocket second(net, UniqueFd(b));
        second = std::move(moved);  // assigning closes what second held
        EXPECT_FALSE(isOpen(b));
        EXPECT_TRUE(isOpen(a));
        EXPECT_EQ(second.get(), a);
    }
    EXPECT_FALSE(isOpen(a)) << "the last owner closes at the end of its scope";

    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    { NetConnection conn(NetSocket(net, UniqueFd(pair[0]))); }
    EXPECT_FALSE(isOpen(pair[0])) << "a connection closes its socket when it goes";
    ::close(pair[1]);
}

TEST(NetSocket, ListeningAndAcceptingGiveTheErrorWithoutADescriptor) {
    sock::OpenedSocket first = sock::listenOn(0, 1);
    ASSERT_TRUE(first.fd.valid()) << first.error;
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ASSERT_EQ(::getsockname(first.fd.get(), reinterpret_cast<sockaddr*>(&bound), &length), 0);
    sock::OpenedSocket second = sock::listenOn(ntohs(bound.sin_port), 1);
    EXPECT_FALSE(second.fd.valid());
    EXPECT_EQ(second.error, EADDRINUSE);
    sock::OpenedSocket none = sock::acceptClient(first.fd.get());
    EXPECT_FALSE(none.fd.valid());
    EXPECT_EQ(none.error, EAGAIN) << "nobody is waiting yet";
}

}  // namespace
}  // namespace parlendo
