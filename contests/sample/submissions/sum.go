package main

import (
	"fmt"
	"os"
)

func main() {
	in, err := os.Open("input.txt")
	if err != nil {
		os.Exit(1)
	}
	var a, b int64
	if _, err := fmt.Fscan(in, &a, &b); err != nil {
		os.Exit(1)
	}
	out, err := os.Create("output.txt")
	if err != nil {
		os.Exit(1)
	}
	fmt.Fprintln(out, a+b)
	out.Close()
}
