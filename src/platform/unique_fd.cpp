// The owner of a file descriptor.
#include "platform/unique_fd.h"

#include <unistd.h>

namespace parlendo {

void UniqueFd::reset(int fd) {
    // A close that fails still frees the descriptor on Linux; there is nothing left to undo.
    if (fd_ >= 0 && fd_ != fd) ::close(fd_);
    fd_ = fd;
}

}  // namespace parlendo
