with open("input.txt") as source:
    a, b = map(int, source.read().split())
with open("output.txt", "w") as target:
    print(a + b, file=target)
