// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/device/control_socket.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

namespace q71x::gadget {
namespace {

std::string SocketPath(const char* tag) {
  return "/tmp/q71x-gadget-test-" + std::to_string(::getpid()) + "-" + tag + ".sock";
}

TEST(ControlSocket, OneLineInOneLineOut) {
  const std::string path = SocketPath("echo");
  std::string error;
  const int listenFd = ListenOnControlSocket(path, error);
  ASSERT_GE(listenFd, 0) << error;
  std::string seen;
  std::thread server([&] {
    ServeOneControlRequest(listenFd, [&](const std::string& line) {
      seen = line;
      return "ok " + std::to_string(line.size());
    });
  });
  const auto answer = SendControlRequest(path, "dump /tmp/flash.bin", 5);
  server.join();
  ::close(listenFd);
  ::unlink(path.c_str());
  EXPECT_EQ(seen, "dump /tmp/flash.bin");
  EXPECT_EQ(answer, "ok 19");
}

TEST(ControlSocket, NoGadgetListeningIsNoAnswer) {
  EXPECT_FALSE(SendControlRequest(SocketPath("absent"), "plug", 1));
}

}  // namespace
}  // namespace q71x::gadget
