// Single instance per user and window class: an flock()ed file named after the
// class marks the first instance, and a non-blocking Unix-domain socket beside
// it receives "restore" requests from later instances.
#include "platform/window/SingleInstance.h"

#include "platform/system/Platform.h"
#include "platform/window/WindowRegistry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kRestoreRequest[] = "restore\n";
constexpr size_t kMaxRequestBytes = 64;
constexpr size_t kMaxConnections = 16;

struct Connection {
  int fd = -1;
  std::string received;
};

struct InstanceLock {
  std::string key;  // the class name folded to a safe file-name stem
  std::string socketPath;
  int lockFd = -1;
  int listenFd = -1;
  pid_t pid = 0;  // the process that took the lock; a forked child must not release it
  HWND owner = nullptr;
  std::vector<Connection> connections;
};

// Never freed: the exit handler still walks it after static destructors may have run.
std::vector<std::unique_ptr<InstanceLock>>& Locks() {
  static auto* locks = new std::vector<std::unique_ptr<InstanceLock>>();
  return *locks;
}
std::atomic<int> gRestoreRequests{0};
bool gExitHandlerInstalled = false;

void Log(const std::string& text) { OutputDebugStringA(("SingleInstance: " + text + "\n").c_str()); }

// Class names are case-insensitive; anything outside a small safe set becomes
// '_' so a class name can never leave the lock folder.
std::string FileStem(const std::string& className) {
  std::string stem;
  for (unsigned char c : className) {
    const bool safe = std::isalnum(c) || c == '-' || c == '_';
    stem += safe ? static_cast<char>(std::tolower(c)) : '_';
  }
  return stem.empty() ? "_" : stem;
}

// $KELVARUN_RUNTIME_DIR, else /tmp/kelvarun-<uid>/ (created private, and only
// used when it is a real folder of this user). Empty when unusable.
std::string RuntimeFolder() {
  const char* configured = std::getenv("KELVARUN_RUNTIME_DIR");
  std::string folder;
  if (configured && *configured) {
    folder = configured;
    mkdir(folder.c_str(), 0700);
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
      Log("'" + folder + "' is not a folder");
      return "";
    }
  } else {
    folder = "/tmp/kelvarun-" + std::to_string(static_cast<unsigned long>(getuid()));
    mkdir(folder.c_str(), 0700);
    struct stat info;
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) {
      Log("'" + folder + "' is not a private folder of this user");
      return "";
    }
  }
  if (folder.back() != '/') folder += '/';
  return folder;
}

bool FillAddress(const std::string& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof(*address));
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof(address->sun_path)) {
    Log("socket path too long: '" + path + "'");
    return false;
  }
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

InstanceLock* FindLock(const std::string& key) {
  for (const std::unique_ptr<InstanceLock>& lock : Locks()) {
    if (lock->key == key && lock->pid == getpid()) return lock.get();
  }
  return nullptr;
}

void CloseConnections(InstanceLock* lock) {
  for (Connection& connection : lock->connections) close(connection.fd);
  lock->connections.clear();
}

void ReleaseLock(InstanceLock* lock) {
  CloseConnections(lock);
  if (lock->listenFd >= 0) {
    close(lock->listenFd);
    unlink(lock->socketPath.c_str());
  }
  // The lock file stays: removing it would let a third process lock a new
  // file while a second one still holds the old one.
  if (lock->lockFd >= 0) {
    flock(lock->lockFd, LOCK_UN);
    close(lock->lockFd);
  }
  lock->listenFd = -1;
  lock->lockFd = -1;
}

void ReleaseAllAtExit() {
  std::vector<std::unique_ptr<InstanceLock>>& locks = Locks();
  for (size_t i = 0; i < locks.size();) {
    if (locks[i]->pid == getpid()) {
      ReleaseLock(locks[i].get());
      locks.erase(locks.begin() + static_cast<long>(i));
    } else {
      ++i;
    }
  }
}

int OpenListener(const std::string& path) {
  sockaddr_un address;
  if (!FillAddress(path, &address)) return -1;
  // Holding the lock means any socket file left here is stale.
  unlink(path.c_str());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 || listen(fd, 8) != 0) {
    Log("cannot listen on '" + path + "': " + std::strerror(errno));
    close(fd);
    return -1;
  }
  return fd;
}

// Reads what the connection has sent; false when it is finished with.
bool ServeConnection(InstanceLock* lock, Connection* connection) {
  char buffer[kMaxRequestBytes];
  for (;;) {
    const ssize_t count = recv(connection->fd, buffer, sizeof(buffer), 0);
    if (count > 0) {
      connection->received.append(buffer, static_cast<size_t>(count));
      size_t newline;
      while ((newline = connection->received.find('\n')) != std::string::npos) {
        if (connection->received.compare(0, newline, "restore") == 0) {
          ++gRestoreRequests;
          plat::detail::RestoreForRequest(lock->owner);
        }
        connection->received.erase(0, newline + 1);
      }
      if (connection->received.size() > kMaxRequestBytes) return false;  // not a client of ours
      continue;
    }
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (count < 0 && errno == EINTR) continue;
    return false;  // end of stream or error
  }
}

void PollLock(InstanceLock* lock) {
  if (lock->listenFd < 0) return;
  while (lock->connections.size() < kMaxConnections) {
    const int fd = accept4(lock->listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) break;
    lock->connections.push_back(Connection{fd, std::string()});
  }
  for (size_t i = 0; i < lock->connections.size();) {
    if (ServeConnection(lock, &lock->connections[i])) {
      ++i;
    } else {
      close(lock->connections[i].fd);
      lock->connections.erase(lock->connections.begin() + static_cast<long>(i));
    }
  }
}

}  // namespace

namespace plat {
namespace detail {

bool ClaimInstance(HWND window, const std::string& className) {
  const std::string key = FileStem(className);
  if (FindLock(key)) return true;  // an earlier window of this process holds it
  const std::string folder = RuntimeFolder();
  if (folder.empty()) return false;
  const std::string lockPath = folder + key + ".lock";
  const int lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lockFd < 0) {
    Log("cannot open '" + lockPath + "': " + std::strerror(errno));
    return false;
  }
  if (flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
    Log("another instance holds '" + lockPath + "'");
    close(lockFd);
    return false;
  }
  auto lock = std::make_unique<InstanceLock>();
  lock->key = key;
  lock->socketPath = folder + key + ".sock";
  lock->lockFd = lockFd;
  lock->listenFd = OpenListener(lock->socketPath);
  lock->pid = getpid();
  lock->owner = window;
  Locks().push_back(std::move(lock));
  if (!gExitHandlerInstalled) {
    std::atexit(ReleaseAllAtExit);
    gExitHandlerInstalled = true;
  }
  return true;
}

void ReleaseInstance(HWND window, HWND successor) {
  std::vector<std::unique_ptr<InstanceLock>>& locks = Locks();
  for (size_t i = 0; i < locks.size(); ++i) {
    InstanceLock* lock = locks[i].get();
    if (lock->owner != window || lock->pid != getpid()) continue;
    if (successor) {
      lock->owner = successor;
      return;
    }
    ReleaseLock(lock);
    locks.erase(locks.begin() + static_cast<long>(i));
    return;
  }
}

bool InstanceHeldElsewhere(const std::string& className) {
  const std::string key = FileStem(className);
  if (FindLock(key)) return false;
  const std::string folder = RuntimeFolder();
  if (folder.empty()) return false;
  const std::string lockPath = folder + key + ".lock";
  const int fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;  // nobody ever took it
  bool held = false;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    held = (errno == EWOULDBLOCK);
  } else {
    flock(fd, LOCK_UN);
  }
  close(fd);
  return held;
}

bool SendRestoreRequest(const std::string& className) {
  const std::string folder = RuntimeFolder();
  if (folder.empty()) return false;
  sockaddr_un address;
  if (!FillAddress(folder + FileStem(className) + ".sock", &address)) return false;
  // Non-blocking so a stuck first instance cannot hang the second one.
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool sent = false;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
    const size_t length = sizeof(kRestoreRequest) - 1;
    sent = send(fd, kRestoreRequest, length, MSG_NOSIGNAL) == static_cast<ssize_t>(length);
  }
  if (!sent) Log(std::string("cannot reach the first instance: ") + std::strerror(errno));
  close(fd);
  return sent;
}

void PollInstanceRequests() {
  for (const std::unique_ptr<InstanceLock>& lock : Locks()) {
    if (lock->pid == getpid()) PollLock(lock.get());
  }
}

}  // namespace detail

int RestoreRequestsReceived() { return gRestoreRequests.load(); }

}  // namespace plat
