with open("input.txt") as f:
    a, b = map(float, f.read().split())
with open("output.txt", "w") as f:
    print(round((a + b) / 2, 2), file=f)
