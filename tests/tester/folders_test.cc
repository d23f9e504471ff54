#include "tester/folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/faulty_file_system.h"
#include "tests/support/recording_display.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

using Op = FaultyFileSystem::Op;

class FoldersTest : public ::testing::Test {
 protected:
  // A folder holding files, a read-only file, and nested read-only folders.
  std::string filled_folder(const std::string& name) {
    temp_.write(name + "/a.txt", "a");
    temp_.write(name + "/ro.txt", "r");
    temp_.write(name + "/sub/deeper/b.txt", "b");
    chmod(temp_.file(name + "/ro.txt").c_str(), 0444);
    chmod(temp_.file(name + "/sub/deeper").c_str(), 0);
    chmod(temp_.file(name + "/sub").c_str(), 0500);
    return temp_.path() + name + "/";
  }
  static bool is_empty_folder(const std::string& path) {
    return fs::is_directory(path) && fs::is_empty(path);
  }

  TempFolder temp_;
  RecordingDisplay display_;
  FaultyFileSystem faulty_;
  Folders folders_{&display_, &faulty_};
};

TEST_F(FoldersTest, MissingNestedFolderIsCreatedLevelByLevel) {
  std::string path = temp_.path() + "x/y/z/";
  EXPECT_EQ(folders_.prepare_folder(path, true), ST_NO_ERROR);
  EXPECT_EQ(display_.log, "not exist (creating done)");
  EXPECT_TRUE(is_empty_folder(path));
}

TEST_F(FoldersTest, ExistingFolderIsEmptiedReadOnlyEntriesIncluded) {
  std::string path = filled_folder("full");
  EXPECT_EQ(folders_.prepare_folder(path, true), ST_NO_ERROR);
  EXPECT_EQ(display_.log, "exist (clearing done)");
  EXPECT_TRUE(is_empty_folder(path));
}

TEST_F(FoldersTest, EmptyingRemovesLinksAndNeverWhatTheyPointTo) {
  std::string outside = filled_folder("outside");
  temp_.write("outside-file", "keep");
  std::string path = temp_.path() + "work/";
  fs::create_directories(path + "sub");
  fs::create_directory_symlink(outside, path + "to-folder");
  fs::create_symlink(temp_.file("outside-file"), path + "to-file");
  fs::create_directory_symlink(outside, path + "sub/deep-link");
  mkfifo((path + "pipe").c_str(), 0600);

  EXPECT_EQ(folders_.reset_folder(path), ST_NO_ERROR);
  EXPECT_TRUE(is_empty_folder(path));
  EXPECT_TRUE(temp_.exists("outside/a.txt"));
  EXPECT_TRUE(temp_.exists("outside/sub/deeper/b.txt"));
  EXPECT_EQ(temp_.read("outside-file"), "keep");
  struct stat st {};
  ASSERT_EQ(stat(temp_.file("outside/ro.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u) << "no attribute was changed through a link";
}

TEST_F(FoldersTest, CreatePathCreatesUpToTheLastSlash) {
  EXPECT_EQ(folders_.create_path(temp_.path() + "p/q/name"), ST_NO_ERROR);
  EXPECT_TRUE(fs::is_directory(temp_.path() + "p/q"));
  EXPECT_FALSE(temp_.exists("p/q/name"));
  EXPECT_EQ(folders_.create_path("no-slash-at-all"), ST_NO_ERROR);
  EXPECT_FALSE(fs::exists("no-slash-at-all"));
  EXPECT_EQ(folders_.create_path(temp_.path() + "p/"), ST_FOLDER_CREATE)
      << "the last level exists already";
}

TEST_F(FoldersTest, FolderThatCannotBeCreated) {
  temp_.write("plain-file", "");
  EXPECT_EQ(folders_.prepare_folder(temp_.path() + "plain-file/sub/", true), ST_FOLDER_CREATE);
  EXPECT_EQ(display_.log, "not exist (creation fail)");
}

TEST_F(FoldersTest, FailuresWhileEmptyingKeepTheFirstCode) {
  std::string path = filled_folder("f");
  temp_.write("f/zz.txt", "z");
  faulty_.fail(Op::kRemoveFile, "/f/a.txt");
  EXPECT_EQ(folders_.prepare_folder(path, true), ST_FOLDER_DELETE);
  EXPECT_EQ(display_.log, "exist (clearing fail)");
  EXPECT_TRUE(temp_.exists("f/a.txt"));
  EXPECT_FALSE(temp_.exists("f/zz.txt")) << "the other entries are still removed";
  EXPECT_FALSE(temp_.exists("f/sub"));

  std::string other = filled_folder("g");
  faulty_.fail(Op::kRemoveFolder, "g/sub/deeper/");
  EXPECT_EQ(folders_.reset_folder(other), ST_FOLDER_REMOVE);
  EXPECT_FALSE(temp_.exists("g/a.txt"));
}

TEST_F(FoldersTest, ListingFailureEndsTheEmptying) {
  std::string path = filled_folder("lst");
  faulty_.fail_exactly(Op::kList, path);
  EXPECT_EQ(folders_.prepare_folder(path, true), ST_FOLDER_LIST);
  EXPECT_EQ(display_.log, "exist (clearing fail)");
  std::string nested = filled_folder("nst");
  faulty_.fail(Op::kList, "nst/sub/deeper/");
  EXPECT_EQ(folders_.reset_folder(nested), ST_FOLDER_LIST);
  EXPECT_FALSE(temp_.exists("nst/a.txt"));
}

TEST_F(FoldersTest, RemoveFolder) {
  std::string path = filled_folder("r");
  EXPECT_EQ(folders_.remove_folder(path), ST_NO_ERROR);
  EXPECT_FALSE(temp_.exists("r"));
  std::string stuck = filled_folder("s");
  faulty_.fail_exactly(Op::kRemoveFolder, stuck);
  EXPECT_EQ(folders_.remove_folder(stuck), ST_FOLDER_REMOVE);
  EXPECT_TRUE(is_empty_folder(stuck));
}

TEST_F(FoldersTest, FileOperationCodes) {
  std::string a = temp_.file("a"), b = temp_.file("b");
  EXPECT_EQ(folders_.write_file(a, std::string("x\0y", 3)), ST_NO_ERROR);
  EXPECT_EQ(temp_.read("a"), std::string("x\0y", 3));
  faulty_.fail(Op::kCreate, "/cannot");
  faulty_.fail(Op::kShortWrite, "/short");
  faulty_.fail(Op::kWriteClose, "/unclosed");
  EXPECT_EQ(folders_.write_file(temp_.file("cannot"), "x"), ST_FILE_OPEN);
  EXPECT_EQ(folders_.write_file(temp_.file("short"), "xy"), ST_FILE_WRITE);
  EXPECT_EQ(folders_.write_file(temp_.file("unclosed"), "xy"), ST_NO_ERROR)
      << "a failed close is ignored";

  temp_.write("b", "old");
  EXPECT_EQ(folders_.copy_file(b, a), ST_NO_ERROR) << "a copy replaces its target";
  EXPECT_EQ(temp_.read("b"), std::string("x\0y", 3));
  EXPECT_EQ(folders_.copy_file(b, temp_.file("missing")), ST_FILE_COPY);
  EXPECT_EQ(folders_.move_file(b, a), ST_FILE_MOVE) << "a move never replaces its target";
  EXPECT_EQ(folders_.move_file(temp_.file("c"), a), ST_NO_ERROR);
  EXPECT_FALSE(temp_.exists("a"));
  EXPECT_EQ(folders_.delete_file(a), ST_FILE_MOVE);
  EXPECT_EQ(folders_.delete_file(temp_.file("c")), ST_NO_ERROR);
}

TEST_F(FoldersTest, CopyKeepsTheProgramExecutableAndReplacesALink) {
  temp_.write("prog", "#!/bin/sh\n");
  chmod(temp_.file("prog").c_str(), 0755);
  temp_.write("victim", "keep");
  fs::create_symlink(temp_.file("victim"), temp_.file("copy"));
  EXPECT_EQ(folders_.copy_file(temp_.file("copy"), temp_.file("prog")), ST_NO_ERROR);
  EXPECT_EQ(temp_.read("victim"), "keep");
  EXPECT_FALSE(fs::is_symlink(temp_.file("copy")));
  EXPECT_EQ(access(temp_.file("copy").c_str(), X_OK), 0);
}

TEST_F(FoldersTest, FileExistsOnlyForRegularFiles) {
  temp_.write("file", "x");
  fs::create_directory(temp_.file("dir"));
  fs::create_symlink(temp_.file("file"), temp_.file("link"));
  mkfifo(temp_.file("pipe").c_str(), 0600);
  EXPECT_TRUE(folders_.file_exists(temp_.file("file")));
  EXPECT_FALSE(folders_.file_exists(temp_.file("dir")));
  EXPECT_FALSE(folders_.file_exists(temp_.file("pipe"))) << "and it must not block";
  EXPECT_FALSE(folders_.file_exists(temp_.file("missing")));
  EXPECT_TRUE(folders_.file_exists(temp_.file("link")));
  EXPECT_FALSE(folders_.file_exists(temp_.file("link"), platform::Links::kNoFollow));
}

}  // namespace
