n, *xs = STDIN.read.split.map(&:to_i)
puts xs.first(n).sum
