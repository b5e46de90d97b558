# Subroutine calls: 100000 calls of a procedure that counts and returns. "proc" runs the
# calling loop inside a procedure; otherwise at top level.
proc rotina {} {
    global n
    incr n
    return
}
proc work {} {
    for {set i 1} {$i <= 100000} {incr i} {
        rotina
    }
}
set n 0
if {[lindex $argv 0] eq "proc"} {
    work
} else {
    for {set i 1} {$i <= 100000} {incr i} {
        rotina
    }
}
if {$n != 100000} { puts stderr "wrong result: $n"; exit 1 }
