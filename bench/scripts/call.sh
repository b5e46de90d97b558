# Subroutine calls: 100000 calls of a function that counts and returns.
n=0
rotina() {
    ((n += 1))
    return
}
for ((i = 1; i <= 100000; i++)); do
    rotina
done
((n == 100000)) || { echo "wrong result: $n" >&2; exit 1; }
