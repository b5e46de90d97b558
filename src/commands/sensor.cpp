// SENSOR: up to 32 switches wired to the parallel port, scanned row by row.
#include <string_view>

#include "commands/command_state.h"
#include "commands/desktop.h"
#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "text/cp1252_literal.h"

namespace parlendo {

namespace {

// Takes the ports and reads the status with the first data line raised: the baseline every scan
// is compared with.
bool preparePort(Interpreter& in, SensorPort& sensor) {
    if (!sensor.port) sensor.port = sensor.makePort();
    if (!sensor.port || !sensor.port->acquire()) return false;
    sensor.port->write(kParallelControl, 255);
    pauseRun(in, 1);
    sensor.port->write(kParallelData, 1);
    pauseRun(in, 1);
    sensor.baseline = sensor.port->read(kParallelStatus);
    return true;
}

void scan(Interpreter& in, SensorPort& sensor) {
    for (int row = 0; row < 8; ++row) {
        sensor.port->write(kParallelControl, 255);
        pauseRun(in, 1);
        sensor.port->write(kParallelData, static_cast<uint8_t>((128 >> row) ^ 255));
        pauseRun(in, 1);
        const uint8_t changed = sensor.port->read(kParallelStatus) ^ sensor.baseline;
        for (int bit = 0; bit < 4; ++bit) sensor.flags[row * 4 + bit] = (changed & (0x80 >> bit)) != 0;
    }
}

}  // namespace

bool cmdSensor(Interpreter& in, std::string_view args, int) {
    SensorPort& sensor = in.state->media.sensor;
    if (!sensor.ready) {
        sensor.ready = preparePort(in, sensor);
        // Tried again at the next SENSOR.
        if (!sensor.ready) in.showMessage("Acesso à porta paralela não disponível."_cp);
    }
    std::string_view rest = args;
    dropBlanks(rest);
    int slot = 0;
    if (!readVariable(in, rest, slot)) return in.fail("falta a variável"_cp);
    if (sensor.ready) scan(in, sensor);
    int first = 0;
    for (int i = 0; i < 32 && first == 0; ++i)
        if (sensor.flags[i]) first = i + 1;
    return in.assign(slot, std::to_string(first));
}

}  // namespace parlendo
