// Normalisation and comparison of outputs. The normal form made in pieces
// cut anywhere equals the one made whole and the plain rules; it is its own
// normal form and at most twice as long; its short form is it with LF for
// CR LF; two files compare equal exactly when their normal forms are equal,
// whether they are compared as read or normalised first.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "fuzz/fuzz_check.h"
#include "tester/folders.h"
#include "tester/judge/normal_form.h"
#include "tester/judge/output_checker.h"
#include "tests/support/recording_display.h"

namespace {

bool is_space(char c) { return c == '\n' || c == '\r' || c == ' ' || c == '\t'; }

// The rules as they read.
std::string plain_normal_form(const std::string& text) {
  std::string out;
  size_t end = text.size();
  while (end > 0 && is_space(text[end - 1])) --end;
  size_t i = 0;
  while (i < end && is_space(text[i])) ++i;
  while (i < end) {
    if (is_space(text[i])) {
      bool line_break = false;
      for (; is_space(text[i]); ++i) line_break = line_break || text[i] == '\n' || text[i] == '\r';
      out += line_break ? "\r\n" : " ";
    }
    for (; i < end && !is_space(text[i]); ++i) {
      char c = text[i];
      out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
  }
  return out;
}

// Pieces whose sizes the input's first bytes choose: short ones, made a
// byte at a time, and long ones, made in blocks.
std::string in_pieces(const std::string& text, const uint8_t* sizes, size_t count,
                      NormalForm::LineBreak line_break = NormalForm::LineBreak::kCrLf) {
  NormalForm form(line_break);
  std::string result;
  for (size_t at = 0, k = 0; at < text.size(); ++k) {
    size_t piece = sizes[k % count] % 17 * (sizes[k % count] >= 0xC0 ? 13 : 1);
    if (piece == 0) {
      // An empty piece gives nothing, even with white space held back.
      char none[NormalForm::max_output(0)];
      FUZZ_CHECK(form.put(text.data() + at, 0, none) == 0);
      piece = 1;
    }
    piece = std::min(piece, text.size() - at);
    std::string out(NormalForm::max_output(piece), '?');
    out.resize(form.put(text.data() + at, piece, out.data()));
    result += out;
    at += piece;
  }
  return result;
}

struct Files {
  Files() {
    std::string pattern = std::filesystem::temp_directory_path() / "probator-fuzz-XXXXXX";
    folder = std::string(mkdtemp(pattern.data())) + "/";
  }
  ~Files() {
    std::remove((folder + "a").c_str());
    std::remove((folder + "b").c_str());
    rmdir(folder.c_str());
  }
  std::string folder;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > 16384) return 0;
  std::string input(reinterpret_cast<const char*>(data) + 4, size - 4);
  std::string normal = OutputChecker::normalize(input);
  FUZZ_CHECK(normal == plain_normal_form(input));
  FUZZ_CHECK(normal.size() <= 2 * input.size());
  FUZZ_CHECK(OutputChecker::normalize(normal) == normal);
  FUZZ_CHECK(in_pieces(input, data, 4) == normal);
  // Every CR of the normal form begins a line break: no word holds one.
  std::string short_form;
  for (char c : normal) {
    if (c != '\r') short_form += c;
  }
  FUZZ_CHECK(in_pieces(input, data, 4, NormalForm::LineBreak::kLf) == short_form);

  // The input cut in two is two outputs: normalised as files and compared.
  static Files files;
  static RecordingDisplay display;
  static Folders folders(&display);
  static OutputChecker checker(&folders, &display);
  size_t cut = data[0] % (input.size() + 1);
  std::string a = input.substr(0, cut), b = input.substr(cut);
  for (const auto& [name, text] : {std::pair{"a", a}, std::pair{"b", b}}) {
    std::FILE* file = std::fopen((files.folder + name).c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
  bool equal = OutputChecker::normalize(a) == OutputChecker::normalize(b);
  StatusCode verdict = equal ? ST_NO_ERROR : ST_WRONG_ANSWER;
  FUZZ_CHECK(checker.compare_outputs(files.folder + "a", files.folder + "b") == verdict);
  FUZZ_CHECK(checker.normalize_file(files.folder + "a") == ST_NO_ERROR);
  FUZZ_CHECK(checker.normalize_file(files.folder + "b") == ST_NO_ERROR);
  FUZZ_CHECK(checker.compare_files(files.folder + "a", files.folder + "b") == verdict);
  return 0;
}
