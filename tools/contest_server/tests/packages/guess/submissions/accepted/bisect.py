low, high = 1, 10**9
while True:
    middle = (low + high) // 2
    print(middle, flush=True)
    reply = input()
    if reply == "higher":
        low = middle + 1
    elif reply == "lower":
        high = middle - 1
