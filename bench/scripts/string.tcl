# Text editing: append then take ten characters, 100000 times. "proc" runs it inside a
# procedure; otherwise at top level.
proc work {} {
    set s abcdefghij
    for {set i 1} {$i <= 100000} {incr i} {
        append s xyz
        set s [string range $s 3 12]
    }
    return $s
}
if {[lindex $argv 0] eq "proc"} {
    set s [work]
} else {
    set s abcdefghij
    for {set i 1} {$i <= 100000} {incr i} {
        append s xyz
        set s [string range $s 3 12]
    }
}
if {$s ne "zxyzxyzxyz"} { puts stderr "wrong result: $s"; exit 1 }
