// The shared framebuffer: another process maps the same pixels, follows rotation, and a
// descriptor that is not a framebuffer is refused.
#include "screen_test_support.h"

#include "../src/screen/framebuffer.h"

#include <cstring>

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace screen_test;

TEST(ScreenFramebuffer, ChildProcessDrawsIntoTheSameScreenAndFollowsRotation) {
  auto framebuffer = ce::Framebuffer::create(480, 800);
  ASSERT_TRUE(framebuffer);
  EXPECT_EQ(framebuffer->pixels().stride, 960);
  int toChild[2], fromChild[2];
  ASSERT_EQ(::pipe(toChild), 0);
  ASSERT_EQ(::pipe(fromChild), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    // The child maps the descriptor it inherited, as a device process does with the host's.
    auto mine = ce::Framebuffer::attach(framebuffer->fd());
    if (!mine || mine->width() != 480 || mine->height() != 800) ::_exit(2);
    mine->row(799)[479] = 0xBEEF;
    if (mine->rotate()) ::_exit(3); // only the creator rotates
    if (::write(fromChild[1], "w", 1) != 1)
      ::_exit(6);
    char go;
    if (::read(toChild[0], &go, 1) != 1) ::_exit(4);
    // The parent has rotated: the new size is visible here too.
    if (mine->width() != 800 || mine->height() != 480 || mine->generation() != 1) ::_exit(5);
    mine->row(0)[799] = 0x1234;
    ::_exit(0);
  }
  int status = 0;
  // The child says when it has written, then waits for the rotation; a child that fails first
  // closes its end without a word.
  ::close(fromChild[1]);
  char written = 0;
  ASSERT_EQ(::read(fromChild[0], &written, 1), 1);
  EXPECT_EQ(framebuffer->row(799)[479], 0xBEEF);
  ASSERT_TRUE(framebuffer->rotate());
  EXPECT_EQ(framebuffer->width(), 800);
  EXPECT_EQ(framebuffer->height(), 480);
  EXPECT_EQ(framebuffer->row(479)[799], 0) << "rotation clears the screen";
  ASSERT_EQ(::write(toChild[1], "g", 1), 1);
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(framebuffer->row(0)[799], 0x1234);
  ::close(toChild[0]);
  ::close(toChild[1]);
  ::close(fromChild[0]);
}

TEST(ScreenFramebuffer, RefusesSizesOutOfRangeAndForeignDescriptors) {
  EXPECT_FALSE(ce::Framebuffer::create(0, 100));
  EXPECT_FALSE(ce::Framebuffer::create(100, 4097));
  EXPECT_FALSE(ce::Framebuffer::create(-5, -5));

  std::string error;
  EXPECT_FALSE(ce::Framebuffer::attach(-1, &error));
  // A sealed block of the right size but without a framebuffer header.
  auto memory = ce::SharedMemory::create(ce::Framebuffer::kPixelOffset + 100 * 100 * 2, "x");
  ASSERT_TRUE(memory);
  EXPECT_FALSE(ce::Framebuffer::attach(memory->fd(), &error));
  EXPECT_EQ(error, "not a framebuffer");

  // A header claiming more pixels than the block holds.
  auto* words = reinterpret_cast<std::uint32_t*>(memory->data());
  words[0] = 0x35363542;
  words[1] = 4000;
  words[2] = 4000;
  EXPECT_FALSE(ce::Framebuffer::attach(memory->fd(), &error));

  // An unsealed memfd could shrink under the mapping: refused.
  const int plain = ::memfd_create("plain", MFD_CLOEXEC);
  ASSERT_GE(plain, 0);
  ASSERT_EQ(::ftruncate(plain, 1 << 20), 0);
  EXPECT_FALSE(ce::SharedMemory::attach(plain, 1, &error));
  ::close(plain);
}

TEST(ScreenFramebuffer, AttachedCopyIgnoresADamagedHeader) {
  auto framebuffer = ce::Framebuffer::create(200, 100);
  ASSERT_TRUE(framebuffer);
  auto attached = ce::Framebuffer::attach(framebuffer->fd());
  ASSERT_TRUE(attached);
  // A peer scribbles an impossible size over the header: the last sound size stays.
  auto* words = reinterpret_cast<std::uint32_t*>(attached->pixels().bits) -
                ce::Framebuffer::kPixelOffset / 4;
  words[1] = 5000;
  EXPECT_EQ(attached->width(), 200);
  EXPECT_EQ(attached->height(), 100);
  words[1] = 200;
}
