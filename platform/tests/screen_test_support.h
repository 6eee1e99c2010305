// Helpers for the screen tests: colours, composed pixels and a private X server.
#pragma once

#include "../src/screen/screen.h"
#include "../src/screen/screen_composer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace screen_test {

constexpr std::uint16_t rgb565(int r, int g, int b) {
  return std::uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// The B, G, R bytes a 5-6-5 pixel composes to.
inline std::uint32_t bgrOf565(std::uint16_t pixel) {
  std::uint8_t bgr[3];
  ce::ScreenComposer::widen565(pixel, bgr);
  return std::uint32_t(bgr[0]) | (std::uint32_t(bgr[1]) << 8) | (std::uint32_t(bgr[2]) << 16);
}

inline std::uint32_t bgrAt(const ce::ScreenImage& image, int x, int y) {
  const std::uint8_t* p = image.pixel(x, y);
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
}

inline void fillFramebuffer(ce::Framebuffer& framebuffer, std::uint16_t value) {
  for (int y = 0; y < framebuffer.height(); ++y) {
    std::uint16_t* row = framebuffer.row(y);
    for (int x = 0; x < framebuffer.width(); ++x) row[x] = value;
  }
}

// An Xvfb of our own on a free display number, for the tests that open windows. Skips the test
// when the machine has no Xvfb.
class PrivateXServer {
public:
  bool start(std::string* why) {
    const char* candidates[] = {"/usr/bin/Xvfb", "/usr/local/bin/Xvfb"};
    const char* binary = nullptr;
    for (const char* candidate : candidates)
      if (::access(candidate, X_OK) == 0) binary = candidate;
    if (!binary) {
      *why = "Xvfb is not installed";
      return false;
    }
    int fds[2];
    if (::pipe(fds) != 0) {
      *why = "pipe failed";
      return false;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      // -noreset: an X server resets when its last client leaves, and refuses the next test's
      // connection while it does ("x11 not available").
      ::execl(binary, "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "2048x2048x24",
              "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    std::string number;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (pid_ < 0 || number.empty()) {
      *why = "Xvfb did not start";
      return false;
    }
    display_ = ":" + number;
    ::setenv("DISPLAY", display_.c_str(), 1);
    ::setenv("SDL_VIDEODRIVER", "x11", 1);
    return true;
  }
  ~PrivateXServer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }

private:
  pid_t pid_ = -1;
  std::string display_;
};

} // namespace screen_test
