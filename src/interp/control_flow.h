// Conditions, and the scans of the script store that find block ends.
#pragma once

#include <string>
#include <string_view>

namespace parlendo {

class Interpreter;

struct ConditionResult {
    bool parsed = false;
    bool value = false;
    std::string_view rest;  // what follows the condition, trimmed
};

ConditionResult evaluateCondition(Interpreter& in, std::string_view text);

// Finds the last closing line of each kind of block in the store, for the warnings about blocks
// left open, and forgets those of an earlier run. Run as a run starts.
void findBlockEnds(Interpreter& in);

// The comparison form of an operand: upper-cased, and a text of digits only padded with zeros
// to 21 characters (the empty text becomes 20 zeros).
std::string normaliseOperand(std::string_view operand);

}  // namespace parlendo
