# Counted loop: arithmetic on one variable a million times.
x=0
for ((i = 1; i <= 1000000; i++)); do
    ((x += 1))
done
((x == 1000000)) || { echo "wrong result: $x" >&2; exit 1; }
