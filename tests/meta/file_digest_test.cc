#include "meta/file_digest.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "md5_hex.h"
#include "output/unhandled_error.h"
#include "temp_dir.h"

namespace tintrel {
namespace {

using testkit::Md5Hex;
using testkit::TempDir;
using testkit::WriteFile;

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

TEST(FileDigest, KnownDigests) {
  struct Case {
    std::string bytes;
    std::string hex;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    std::string path = WriteFile(dir.Path + "/art.ans", c.bytes);
    EXPECT_EQ(DigestToHex(FileDigest(path)), c.hex) << c.bytes;
  }
}

// Every byte counts: block edges, byte 26 and the record behind it.
TEST(FileDigest, CoversTheWholeFile) {
  std::string with_record = "\x1b[31mart\x1a" + std::string("SAUCE00") + std::string(121, ' ');
  TempDir dir;
  for (const std::string& bytes : {Pattern(1), Pattern(1024), Pattern(1025), Pattern(65535),
                                   Pattern(65536), Pattern(65537), Pattern(200000), with_record}) {
    std::string path = WriteFile(dir.Path + "/art.ans", bytes);
    EXPECT_EQ(DigestToHex(FileDigest(path)), Md5Hex(bytes)) << bytes.size() << " bytes";
  }
}

// Large regular files are digested on a second thread while the scan runs; the result is the same.
TEST(FileDigest, EarlyDigestOfLargeFiles) {
  TempDir dir;
  for (std::size_t size : {std::size_t{kEarlyDigestSize} - 1, std::size_t{kEarlyDigestSize},
                           std::size_t{kEarlyDigestSize} * 3 + 17}) {
    std::string bytes = Pattern(size);
    std::string path = WriteFile(dir.Path + "/art.ans", bytes);
    EarlyDigest early;
    StartEarlyDigest(early, path);
    EXPECT_EQ(early.Worker.joinable(), size >= kEarlyDigestSize) << size;
    EXPECT_EQ(DigestToHex(FileDigest(path, &early)), Md5Hex(bytes)) << size;
  }
  // Anything but a regular file is read once, by the digest itself.
  EarlyDigest early;
  StartEarlyDigest(early, "/dev/zero");
  EXPECT_FALSE(early.Worker.joinable());
}

// A pipe hands out what has been written so far; a short read is not the end.
TEST(FileDigest, ShortReadsAreNotTheEnd) {
  TempDir dir;
  std::string path = dir.Path + "/art.fifo";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  const std::string first = Pattern(1000), second = Pattern(3000);
  pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    alarm(10);  // never outlive a digest that did not open the pipe
    int fd = open(path.c_str(), O_WRONLY);
    bool ok = fd >= 0 && write(fd, first.data(), first.size()) == ssize_t(first.size());
    // The second part goes in only once the reader has taken the first: its read came up short.
    int pending = 1;
    while (ok && ioctl(fd, FIONREAD, &pending) == 0 && pending > 0) usleep(1000);
    ok = ok && write(fd, second.data(), second.size()) == ssize_t(second.size());
    _exit(ok ? 0 : 1);
  }
  std::string hex = DigestToHex(FileDigest(path));
  int status = 0;
  waitpid(writer, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(hex, Md5Hex(first + second));
}

TEST(FileDigest, UnopenableFileIsAFault) {
  try {
    FileDigest("/nonexistent/art.ans");
    ADD_FAILURE() << "a digest was made up for a file that was never read";
  } catch (const UnhandledError& error) {
    EXPECT_STREQ(error.Kind, "FileError");
    EXPECT_EQ(error.Message, "Unable to open file \"/nonexistent/art.ans\"");
  }
}

TEST(FileDigest, HexIsHighHalfFirstInByteOrder) {
  Digest digest = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef,
                   0xf0, 0x0f, 0x00, 0xff, 0x10, 0x01, 0xa5, 0x5a};
  EXPECT_EQ(DigestToHex(digest), "0123456789abcdeff00f00ff1001a55a");
}

}  // namespace
}  // namespace tintrel
