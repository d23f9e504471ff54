with open("input.txt") as f:
    name = f.read().strip()
with open("output.txt", "w") as f:
    f.write(f"HELLO, {name.upper()}!\n")
