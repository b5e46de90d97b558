// Standard error silenced for a while: libraries that write their own complaints there (the
// sound libraries under SDL while looking for a card, espeak-ng when its data are missing) would
// scribble over the console; the user gets one line from us instead.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace parlendo {

class QuietStandardError {
public:
    QuietStandardError() {
        std::fflush(stderr);
        saved_ = ::dup(2);
        int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && devNull >= 0) ::dup2(devNull, 2);
        if (devNull >= 0) ::close(devNull);
    }
    ~QuietStandardError() {
        std::fflush(stderr);
        if (saved_ >= 0) {
            ::dup2(saved_, 2);
            ::close(saved_);
        }
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int saved_ = -1;
};

}  // namespace parlendo
