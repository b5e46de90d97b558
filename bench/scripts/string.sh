# Text editing: append then take ten characters, 100000 times.
s=abcdefghij
for ((i = 1; i <= 100000; i++)); do
    s+=xyz
    s=${s:3:10}
done
[[ $s == zxyzxyzxyz ]] || { echo "wrong result: $s" >&2; exit 1; }
