// What the media commands keep for the life of the process: the MIDI output, the picture shown
// by IMAGEM and the sensor port of SENSOR.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "commands/midi.h"
#include "platform/parallel_port.h"
#include "text/bmp_image.h"

namespace parlendo {

struct ShownPicture {
    Picture picture;
    int x = 0;
    int y = 0;
};

struct SensorPort {
    // Makes the port access at the first SENSOR (tests give a fake).
    std::function<std::unique_ptr<PortAccess>()> makePort = createParallelPort;
    std::unique_ptr<PortAccess> port;
    bool ready = false;  // the ports granted and the baseline read
    uint8_t baseline = 0;
    std::bitset<32> flags;
};

struct MediaState {
    MidiOutput midi;
    std::optional<ShownPicture> picture;
    SensorPort sensor;
};

}  // namespace parlendo
