read -r a b < input.txt
echo $((a + b)) > output.txt
