# Five decimals: within the problem's tolerance of 1e-4, not within 1e-6.
import sys

count, *numbers = map(int, sys.stdin.read().split())
print(f"{sum(numbers[:count]) / count:.5f}")
