import math

n = int(input())
if math.isqrt(n) ** 2 == n:
    raise ValueError("a square")
print(next(d for d in range(2, n) if n % d == 0))
