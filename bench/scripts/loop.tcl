# Counted loop: incr on one variable a million times. "proc" as the first argument runs the
# loop inside a procedure (byte-compiled with local variable slots); otherwise at top level.
proc work {} {
    set x 0
    for {set i 1} {$i <= 1000000} {incr i} {
        incr x 1
    }
    return $x
}
if {[lindex $argv 0] eq "proc"} {
    set x [work]
} else {
    set x 0
    for {set i 1} {$i <= 1000000} {incr i} {
        incr x 1
    }
}
if {$x != 1000000} { puts stderr "wrong result: $x"; exit 1 }
