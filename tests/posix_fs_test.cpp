// Behaviour that needs POSIX file system objects: FIFOs, links, permissions,
// a full disk, and trees deeper than any path.
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "extract/extract.h"
#include "run_tool.h"
#include "scan/scan.h"
#include "support.h"

namespace tolvane {
namespace {

namespace fs = test::fs;

constexpr uid_t kNobody = 65534;

class PosixFsTest : public testing::Test {
 protected:
  PosixFsTest() : in_(scratch_.path() / "in"), out_(scratch_.path() / "out") {
    fs::create_directories(in_);
    fs::create_directories(out_);
  }

  test::ScratchDir scratch_;
  fs::path in_, out_;
};

TEST_F(PosixFsTest, FifosAreNeverReadDirectlyOrThroughALink) {
  // Opening a FIFO for reading waits for a writer: a fault here hangs the test.
  ASSERT_EQ(::mkfifo((in_ / "pipe.bin").c_str(), 0644), 0);
  fs::create_symlink(in_ / "pipe.bin", in_ / "link.bin");
  EXPECT_EQ(test::sorted_lines(test::scan_output(in_.string(), out_.string())),
            test::sorted_lines("No music in " + (in_ / "link.bin").string() + " skipping file.\n" +
                               "No music in " + (in_ / "pipe.bin").string() + " skipping file.\n"));
  EXPECT_EQ(test::extract_file((in_ / "pipe.bin").string(), out_.string()).outcome,
            ExtractOutcome::kNoMusic);
  EXPECT_TRUE(test::list_names(out_).empty());
}

TEST_F(PosixFsTest, LinkedDirectoriesAreWalkedOnceAndCyclesEnd) {
  fs::create_directories(in_ / "a" / "b");
  test::write_file(in_ / "a" / "b" / "x.bin", test::make_container("X", test::riff_payload(10)));
  fs::create_directory_symlink(in_, in_ / "a" / "b" / "top");  // a cycle
  fs::create_directory_symlink(in_ / "a", in_ / "a" / "b" / "up");
  // A ladder of directories, each with two links to the next: a walk that
  // followed every link would report the file at its foot 2^12 times.
  fs::path rung = scratch_.path() / "ladder";
  fs::create_directories(rung);
  for (int i = 0; i < 12; ++i) {
    const fs::path next = scratch_.path() / ("rung" + std::to_string(i));
    fs::create_directory(next);
    fs::create_directory_symlink(next, rung / "l");
    fs::create_directory_symlink(next, rung / "r");
    rung = next;
  }
  test::write_file(rung / "end.bin", "short");
  fs::create_directory_symlink(scratch_.path() / "ladder", in_ / "ladder");

  int result = -1;
  const std::vector<std::string> lines =
      test::sorted_lines(test::scan_output(in_.string(), out_.string(), true, &result));
  EXPECT_EQ(result, 0);
  ASSERT_EQ(lines.size(), 2U) << testing::PrintToString(lines);
  EXPECT_EQ(lines[0].rfind("Extracted music from ", 0), 0U);
  EXPECT_EQ(lines[1].rfind("No music in ", 0), 0U);
  EXPECT_EQ(test::list_names(out_), std::vector<std::string>{"X.wav"});
}

// Runs the scan of `in` as an unprivileged user, so that permissions apply
// to it. `*walk_ended_normally` tells whether the scan returned 0.
std::string scan_as_nobody(const fs::path& in, const fs::path& out, bool* walk_ended_normally) {
  if (::geteuid() != 0) {
    int result = -1;
    std::string output = test::scan_output(in.string(), out.string(), true, &result);
    *walk_ended_normally = result == 0;
    return output;
  }
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) {
    return "pipe failed";
  }
  std::cout << std::flush;
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipe_fds[1], STDOUT_FILENO);
    ::close(pipe_fds[0]);
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
      ::_exit(2);
    }
    const int result = scan_directory(in.string(), "bin", out.string(), true, 2);
    std::cout << std::flush;
    ::_exit(result == 0 ? 0 : 1);
  }
  ::close(pipe_fds[1]);
  std::string output;
  char buffer[4096];
  for (ssize_t got; (got = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;) {
    output.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "could not drop privileges";
  *walk_ended_normally = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return output;
}

TEST_F(PosixFsTest, UnreadableSubdirectoryIsSkippedWithALine) {
  fs::create_directories(in_ / "locked");
  test::write_file(in_ / "locked" / "hidden.bin", "x");
  test::write_file(in_ / "open.bin", "x");
  fs::permissions(scratch_.path(), fs::perms::all);
  fs::permissions(in_, fs::perms::all);
  fs::permissions(in_ / "open.bin", fs::perms::all);
  fs::permissions(in_ / "locked", fs::perms::none);

  bool ended_normally = false;
  const std::string output = scan_as_nobody(in_, out_, &ended_normally);
  EXPECT_TRUE(ended_normally);
  EXPECT_EQ(test::sorted_lines(output),
            test::sorted_lines("Could not open directory " + (in_ / "locked").string() +
                               " skipping directory.\n" + "No music in " +
                               (in_ / "open.bin").string() + " skipping file.\n"));

  // The same directory as the top of the walk is an error for the whole run.
  EXPECT_EQ(scan_as_nobody(in_ / "locked", out_, &ended_normally), "");
  EXPECT_FALSE(ended_normally);
  fs::permissions(in_ / "locked", fs::perms::owner_all);
}

TEST_F(PosixFsTest, ALinkPlantedAtTheTrackNameIsReplacedNotWrittenThrough) {
  const fs::path victim = scratch_.path() / "victim";
  test::write_file(victim, "precious");
  fs::create_symlink(victim, out_ / "T.wav");
  test::write_file(in_ / "t.bin", test::make_container("T", test::riff_payload(100)));

  EXPECT_EQ(test::extract_file((in_ / "t.bin").string(), out_.string()).outcome,
            ExtractOutcome::kExtracted);
  EXPECT_EQ(test::read_file(victim), "precious");
  EXPECT_FALSE(fs::is_symlink(out_ / "T.wav"));
  EXPECT_EQ(test::read_file(out_ / "T.wav"), test::riff_payload(100));
}

TEST_F(PosixFsTest, AFullDiskLeavesTheEarlierTrackAndNoPartialFile) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "mounting a small tmpfs needs root";
  }
  if (::mount("tmpfs", out_.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  }
  test::write_file(out_ / "T.wav", "earlier track");
  test::write_file(in_ / "t.bin", test::make_container("T", test::riff_payload(200000)));

  const ExtractResult result = test::extract_file((in_ / "t.bin").string(), out_.string());
  const std::vector<std::string> left = test::list_names(out_);
  const std::string earlier = test::read_file(out_ / "T.wav");
  ::umount(out_.c_str());

  EXPECT_EQ(result.outcome, ExtractOutcome::kWriteFailed);
  EXPECT_EQ(result.reason, std::strerror(ENOSPC));
  EXPECT_EQ(left, std::vector<std::string>{"T.wav"});
  EXPECT_EQ(earlier, "earlier track");
}

// Has every later ftruncate of this process fail with EPERM, as a drive that
// refuses to give a file its size before it is written does (vfat through FUSE).
void refuse_ftruncate() {
  sock_filter filter[] = {BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
                          BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_ftruncate, 0, 1),
                          BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
                          BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW)};
  const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
      ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
    std::_Exit(2);
  }
}

TEST_F(PosixFsTest, ADriveThatRefusesThePresizeStillGetsTheTrack) {
  test::write_file(in_ / "t.bin", test::make_container("T", test::riff_payload(100000)));
  EXPECT_EXIT(
      {
        refuse_ftruncate();
        const ExtractResult result = test::extract_file((in_ / "t.bin").string(), out_.string());
        std::_Exit(result.outcome == ExtractOutcome::kExtracted ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
  EXPECT_EQ(test::read_file(out_ / "T.wav"), test::riff_payload(100000));
}

// A chain of `depth` directories named "dd" under `top`, with a track
// container at the levels in `tracks`, made and removed one level at a time
// from the current directory, as no path can reach the deepest levels.
class DeepTree {
 public:
  DeepTree(const fs::path& top, int depth, const std::vector<int>& tracks)
      : top_(top), depth_(depth), tracks_(tracks), start_(::open(".", O_RDONLY | O_DIRECTORY)) {
    descend([this](int level) {
      if (std::find(tracks_.begin(), tracks_.end(), level) != tracks_.end()) {
        test::write_file("t.bin",
                         test::make_container("deep" + std::to_string(level), payload(level)));
      }
      return level + 1 == depth_ || (::mkdir("dd", 0755) == 0);
    });
  }
  ~DeepTree() {
    descend([](int) { return true; });
    for (int level = depth_ - 1; level >= 0; --level) {
      ::unlink("t.bin");
      if (::chdir("..") != 0 || (level > 0 && ::rmdir("dd") != 0)) {
        ADD_FAILURE() << "could not remove level " << level << ": " << std::strerror(errno);
        break;
      }
    }
    if (::fchdir(start_) != 0) {
      ADD_FAILURE() << "could not return to the starting directory: " << std::strerror(errno);
    }
    ::close(start_);
  }
  DeepTree(const DeepTree&) = delete;
  DeepTree& operator=(const DeepTree&) = delete;

  static std::string payload(int level) { return test::riff_payload(100 + level); }

 private:
  // Goes down from `top` to the deepest level, calling `at(level)` in each.
  template <typename At>
  void descend(At at) {
    ASSERT_EQ(::chdir(top_.c_str()), 0);
    for (int level = 0; level < depth_; ++level) {
      ASSERT_TRUE(at(level)) << "level " << level << ": " << std::strerror(errno);
      if (level + 1 < depth_) {
        ASSERT_EQ(::chdir("dd"), 0) << "level " << level << ": " << std::strerror(errno);
      }
    }
  }

  fs::path top_;
  int depth_;
  std::vector<int> tracks_;
  int start_;
};

// Deeper than the 4,096 bytes one system call takes as a path, and than the
// open file soft limit the tool is started with: every track is extracted.
TEST_F(PosixFsTest, TreeDeeperThanAnyPathAndTheOpenFileLimit) {
  constexpr int kDepth = 1500;
  constexpr rlim_t kSoftLimit = 256;
  struct rlimit limit {};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
  const struct rlimit saved = limit;
  if (limit.rlim_max < kDepth + 100) {
    limit.rlim_max = kDepth + 100;  // only root may raise it
  }
  limit.rlim_cur = kSoftLimit;
  if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
    GTEST_SKIP() << "needs a hard limit of " << kDepth + 100 << " open files";
  }

  const std::vector<int> tracks = {0, 700, kDepth - 1};
  const DeepTree tree(in_, kDepth, tracks);
  const std::string banner = "Tolvane Music Extractor 0.1\nBy Darnwick\n";
  const std::string done = "Extraction done!\nBy Darnwick.\n";
  std::string lines = banner + done;
  std::string path = in_.string();
  for (int level = 0; level < kDepth; ++level) {
    if (std::find(tracks.begin(), tracks.end(), level) != tracks.end()) {
      lines += "Extracted music from " + path + "/t.bin\n";
    }
    path += "/dd";
  }
  ASSERT_GT(path.size(), 4096U);

  // The child inherits the soft limit; the tool raises it again to the hard one.
  const test::ToolRun run =
      test::run_tool(TOLVANE_TOOL_PATH, {in_.string(), out_.string()}, scratch_.path().string());
  ::setrlimit(RLIMIT_NOFILE, &saved);
  // Each level lists its track and its subdirectory in the file system's order.
  EXPECT_EQ(run.out.substr(0, banner.size()), banner);
  EXPECT_EQ(run.out.substr(run.out.size() - std::min(run.out.size(), done.size())), done);
  EXPECT_EQ(test::sorted_lines(run.out), test::sorted_lines(lines)) << run.out.substr(0, 2000);
  for (const int level : tracks) {
    EXPECT_EQ(test::read_file(out_ / ("deep" + std::to_string(level) + ".wav")),
              DeepTree::payload(level));
  }
}

}  // namespace
}  // namespace tolvane
