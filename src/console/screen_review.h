// The screen review mode: the user moves a review cursor over the console and hears it.
#pragma once

namespace parlendo {

class Interpreter;

// Runs until Esc; false when no key will come any more.
bool reviewScreen(Interpreter& in);

}  // namespace parlendo
