// The process commands: EXECUTA, EXISTEPROG, ENCERRAPROG, ENVIACMD and CMD; TRANSFERE, the
// clipboard command; and the child console's output for LE CONSOLE.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

class Interpreter;

// A command line as EXECUTA takes it apart: a first word in double quotes is the program and the
// rest, trimmed, its parameters (no closing quote: all of it is the program); otherwise the
// program is the text before the first blank and the parameters everything after it.
struct ProgramLine {
    std::string program;
    std::string parameters;
};
ProgramLine splitProgramLine(std::string_view value);

// The parameters as the program's arguments: words between blanks; double quotes group blanks
// into a word and are removed (a pair of them alone is an empty word). Nothing else is special:
// backslashes and single quotes are kept as they are.
std::vector<std::string> splitParameters(std::string_view parameters);

// What waits on the child console's output and error pipes, without waiting: the output part
// (at most 65,535 bytes, up to a zero byte), CR LF and the error part when there is output,
// the error part alone otherwise, and a final CR LF when anything came.
std::string readChildOutput(Interpreter& in);

}  // namespace parlendo
