import sys

count, *numbers = map(int, sys.stdin.read().split())
while count >= 0:  # never ends
    count += 1
print(sum(numbers))
