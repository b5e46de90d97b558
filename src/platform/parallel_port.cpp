// The parallel port through ioperm(2).
#include "platform/parallel_port.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define PARLENDO_PORT_IO 1
#endif

namespace parlendo {

namespace {

class IopermPort final : public PortAccess {
public:
    bool acquire() override {
#ifdef PARLENDO_PORT_IO
        if (!granted_) granted_ = ::ioperm(kParallelData, 3, 1) == 0;
#endif
        return granted_;
    }
    // Never touched without the permission: an inb without it ends the process.
    void write(int port, uint8_t value) override {
#ifdef PARLENDO_PORT_IO
        if (granted_) ::outb(value, static_cast<unsigned short>(port));
#else
        (void)port;
        (void)value;
#endif
    }
    uint8_t read(int port) override {
#ifdef PARLENDO_PORT_IO
        if (granted_) return ::inb(static_cast<unsigned short>(port));
#else
        (void)port;
#endif
        return 0xFF;
    }

private:
    bool granted_ = false;
};

}  // namespace

std::unique_ptr<PortAccess> createParallelPort() { return std::make_unique<IopermPort>(); }

}  // namespace parlendo
