use std::fs;

fn main() {
    let text = fs::read_to_string("input.txt").expect("input.txt");
    let numbers: Vec<i64> = text.split_whitespace().map(|word| word.parse().unwrap()).collect();
    fs::write("output.txt", format!("{}\n", numbers[0] + numbers[1])).expect("output.txt");
}
