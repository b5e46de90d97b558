# Waits for one line on standard input: the resident memory of an idle interpreter.
gets stdin
