// What the command subsystems keep between commands of a run: the file channels, the byte
// buffer and the binary output file, the directory search and the menu. The interpreter holds
// it without knowing it (interp/interpreter.h declares the few things it does with it).
#pragma once

#include <optional>

#include "commands/accessible_objects.h"
#include "commands/byte_buffer.h"
#include "commands/directory_search.h"
#include "commands/file_slots.h"
#include "commands/media.h"
#include "commands/menus.h"
#include "interp/interpreter.h"

namespace parlendo {

struct CommandState {
    FileSlotTable channels;
    ByteBuffer byteBuffer;
    BinaryOutputFile binaryFile;
    DirectorySearch directorySearch;
    // The one menu of the process: none until MENU CRIA.
    std::optional<Menu> menu;
    // MIDI, IMAGEM and SENSOR: kept across runs.
    MediaState media;
    // MSAA's event ring and current element.
    AccessibleObjects msaa;
};

}  // namespace parlendo
