import java.io.*;
import java.util.*;

public class Sum {
  public static void main(String[] args) throws IOException {
    try (Scanner in = new Scanner(new File("input.txt"));
         PrintWriter out = new PrintWriter("output.txt")) {
      long a = in.nextLong(), b = in.nextLong();
      out.println(a + b);
    }
  }
}
