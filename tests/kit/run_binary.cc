// SPDX-License-Identifier: MIT
#include "kit/run_binary.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace tintrel::testkit {

namespace {

// Reads both pipes to their end together, so neither can fill up and stall the child.
void Drain(int out_fd, int err_fd, std::string& out, std::string& err) {
  struct pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string* sinks[2] = {&out, &err};
  int open_count = 2;
  char chunk[65536];
  while (open_count > 0) {
    if (poll(fds, 2, -1) < 0) throw std::runtime_error("poll failed");
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
      if (got > 0) {
        sinks[i]->append(chunk, static_cast<std::size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
}

}  // namespace

RunResult RunTintrelBinary(const std::vector<std::string>& args, const std::string& dir,
                           int stdout_fd) {
  return RunProgram(TINTREL_BINARY, args, dir, stdout_fd);
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& dir, int stdout_fd) {
  int out_pipe[2], err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  std::vector<char*> argv;
  std::string program_copy = program;
  argv.push_back(program_copy.data());
  std::vector<std::string> copies = args;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int out_fd = stdout_fd >= 0 ? stdout_fd : out_pipe[1];
    int in_fd = open("/dev/null", O_RDONLY);
    if (out_fd < 0 || in_fd < 0 || dup2(in_fd, 0) < 0 || dup2(out_fd, 1) < 0 ||
        dup2(err_pipe[1], 2) < 0 || chdir(dir.c_str()) != 0) {
      _exit(127);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  RunResult result;
  Drain(out_pipe[0], err_pipe[0], result.Stdout, result.Stderr);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.ExitStatus = WEXITSTATUS(status);
  return result;
}

}  // namespace tintrel::testkit
