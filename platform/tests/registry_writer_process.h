// Another process that writes to the registry on command (programs/registry_writer.cc): each
// call returns once the child has committed the change, with its result code.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace registry_test {

class RegistryWriterProcess {
public:
  explicit RegistryWriterProcess(const std::filesystem::path &deviceRoot) {
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0)
      return;
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e)
      if (std::string(*e).rfind("CE_DEVICE=", 0) != 0)
        env.emplace_back(*e);
    env.push_back("CE_DEVICE=" + deviceRoot.string());
    std::vector<char *> envp;
    for (auto &e : env)
      envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    std::string program = CE_BINARY_DIR "/bin/ce_registry_writer";
    char *argv[] = {program.data(), nullptr};
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data()) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    commands_ = fdopen(toChild[1], "w");
    answers_ = fdopen(fromChild[0], "r");
  }
  ~RegistryWriterProcess() {
    if (commands_)
      std::fclose(commands_); // the end of its input ends the child
    if (answers_)
      std::fclose(answers_);
    if (pid_ > 0) {
      int status = 0;
      while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
  }
  RegistryWriterProcess(const RegistryWriterProcess &) = delete;
  RegistryWriterProcess &operator=(const RegistryWriterProcess &) = delete;

  bool running() const { return pid_ > 0 && commands_ && answers_; }

  // Sends one command line (see the program) and waits for its result code; -1 when the child
  // is gone.
  long run(const std::string &command) {
    if (!running() || std::fprintf(commands_, "%s\n", command.c_str()) < 0 ||
        std::fflush(commands_) != 0)
      return -1;
    long result = -1;
    return std::fscanf(answers_, "%ld", &result) == 1 ? result : -1;
  }

private:
  pid_t pid_ = -1;
  FILE *commands_ = nullptr;
  FILE *answers_ = nullptr;
};

} // namespace registry_test
