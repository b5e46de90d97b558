// Raw byte access to the first parallel port's registers (888 data, 889 status, 890 control),
// for SENSOR. Only a process allowed to (root, or CAP_SYS_RAWIO) gets it, and only on machines
// with port input/output.
#pragma once

#include <cstdint>
#include <memory>

namespace parlendo {

constexpr int kParallelData = 888;
constexpr int kParallelStatus = 889;
constexpr int kParallelControl = 890;

class PortAccess {
public:
    virtual ~PortAccess() = default;
    // Asks the system for the three ports: false when the process may not have them.
    virtual bool acquire() = 0;
    virtual void write(int port, uint8_t value) = 0;
    virtual uint8_t read(int port) = 0;
};

// The ports through ioperm(2), inb and outb.
std::unique_ptr<PortAccess> createParallelPort();

}  // namespace parlendo
