// The descriptor owner: whatever path ownership takes, each descriptor is closed exactly once.
#include "platform/unique_fd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <utility>

namespace parlendo {
namespace {

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

TEST(UniqueFd, ClosesOnEveryPathAndOnlyOnce) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const int a = ends[0], b = ends[1];
    {
        UniqueFd first(a);
        UniqueFd moved(std::move(first));  // the move takes ownership: first closes nothing
        EXPECT_FALSE(first.valid());
        EXPECT_TRUE(isOpen(a));
        UniqueFd second(b);
        second = std::move(moved);  // assigning closes what second held
        EXPECT_FALSE(isOpen(b));
        EXPECT_TRUE(isOpen(a));
        EXPECT_EQ(second.get(), a);
    }
    EXPECT_FALSE(isOpen(a)) << "the last owner closes at the end of its scope";

    ASSERT_EQ(::pipe(ends), 0);
    UniqueFd kept(ends[0]);
    const int released = kept.release();
    kept.reset();
    EXPECT_TRUE(isOpen(released)) << "a released descriptor is the caller's";
    ::close(released);
    UniqueFd reset(ends[1]);
    reset.reset();
    EXPECT_FALSE(isOpen(ends[1]));
    EXPECT_FALSE(reset.valid());
}

}  // namespace
}  // namespace parlendo
