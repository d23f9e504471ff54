import java.io.File

fun main() {
    val (a, b) = File("input.txt").readText().trim().split(Regex("\\s+")).map { it.toLong() }
    File("output.txt").writeText("${a + b}\n")
}
