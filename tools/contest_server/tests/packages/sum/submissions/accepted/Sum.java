import java.io.BufferedReader;
import java.io.InputStreamReader;
import java.util.StringTokenizer;

public class Sum {
  public static void main(String[] args) throws Exception {
    BufferedReader in = new BufferedReader(new InputStreamReader(System.in));
    StringBuilder text = new StringBuilder();
    for (String line; (line = in.readLine()) != null;) text.append(line).append(' ');
    StringTokenizer words = new StringTokenizer(text.toString());
    int n = Integer.parseInt(words.nextToken());
    long total = 0;
    for (int i = 0; i < n; ++i) total += Long.parseLong(words.nextToken());
    System.out.println(total);
  }
}
