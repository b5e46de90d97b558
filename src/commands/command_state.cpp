// What the command subsystems keep between commands, made, reset and freed for the interpreter.
#include "commands/command_state.h"

namespace parlendo {

void CommandStateDeleter::operator()(CommandState* state) const { delete state; }

std::unique_ptr<CommandState, CommandStateDeleter> makeCommandState() {
    return std::unique_ptr<CommandState, CommandStateDeleter>(new CommandState);
}

void resetCommandState(CommandState& state) {
    state.channels.closeAll();
    state.byteBuffer.clear();
    state.binaryFile.file.close();
    state.directorySearch.close();
}

void closeChannels(CommandState& state) { state.channels.closeAll(); }

}  // namespace parlendo
