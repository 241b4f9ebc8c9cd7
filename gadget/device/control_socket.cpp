// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/device/control_socket.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace q71x::gadget {
namespace {

constexpr std::size_t kMaxLine = 4096;
constexpr int kServerReadTimeoutSeconds = 5;

class SocketFd {
 public:
  explicit SocketFd(int fd) : fd_(fd) {}
  ~SocketFd() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  SocketFd(const SocketFd&) = delete;
  SocketFd& operator=(const SocketFd&) = delete;
  int Get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

bool FillAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

void SetReceiveTimeout(int fd, int seconds) {
  timeval timeout{seconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

std::optional<std::string> ReadLine(int fd) {
  std::string line;
  char c = 0;
  while (line.size() < kMaxLine) {
    const ssize_t got = ::read(fd, &c, 1);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return std::nullopt;
    }
    if (c == '\n') {
      return line;
    }
    line.push_back(c);
  }
  return std::nullopt;
}

bool WriteLine(int fd, const std::string& text) {
  const std::string line = text + "\n";
  return ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
}

}  // namespace

int ListenOnControlSocket(const std::string& path, std::string& error) {
  sockaddr_un address;
  if (!FillAddress(path, address)) {
    error = "socket path too long: " + path;
    return -1;
  }
  SocketFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  ::unlink(path.c_str());
  if (fd.Get() < 0 ||
      ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd.Get(), 4) != 0) {
    error = "cannot listen on " + path + ": " + std::strerror(errno);
    return -1;
  }
  return fd.Release();
}

bool ServeOneControlRequest(int listenFd, const ControlHandler& handler) {
  SocketFd client(::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC));
  if (client.Get() < 0) {
    return errno == EINTR;
  }
  SetReceiveTimeout(client.Get(), kServerReadTimeoutSeconds);
  if (const std::optional<std::string> line = ReadLine(client.Get())) {
    WriteLine(client.Get(), handler(*line));
  }
  return true;
}

std::optional<std::string> SendControlRequest(const std::string& socketPath,
                                              const std::string& line, int timeoutSeconds) {
  sockaddr_un address;
  if (!FillAddress(socketPath, address)) {
    return std::nullopt;
  }
  SocketFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (fd.Get() < 0 ||
      ::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    return std::nullopt;
  }
  SetReceiveTimeout(fd.Get(), timeoutSeconds);
  if (!WriteLine(fd.Get(), line)) {
    return std::nullopt;
  }
  return ReadLine(fd.Get());
}

}  // namespace q71x::gadget
