# Nothing: the start-up and exit of the interpreter.
