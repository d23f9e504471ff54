using System;
using System.IO;

class Sum {
  static void Main() {
    string[] words = File.ReadAllText("input.txt").Split((char[])null, StringSplitOptions.RemoveEmptyEntries);
    long a = long.Parse(words[0]), b = long.Parse(words[1]);
    File.WriteAllText("output.txt", (a + b) + "\n");
  }
}
