import sys

count, *numbers = map(int, sys.stdin.read().split())
print(sum(numbers[:count]))
