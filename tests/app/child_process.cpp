#include "tests/app/child_process.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

ChildProcess::ChildProcess(const std::vector<std::string>& args, const std::string& cwd,
                           const std::vector<std::string>& env, const std::string& outPath,
                           const std::string& errPath) {
  std::vector<std::string> environment;
  for (char** e = environ; *e; e++) environment.push_back(*e);
  for (const std::string& add : env) {
    const std::string key = add.substr(0, add.find('=') + 1);
    for (auto it = environment.begin(); it != environment.end();)
      it = it->compare(0, key.size(), key) == 0 ? environment.erase(it) : it + 1;
    environment.push_back(add);
  }
  pid_ = fork();
  if (pid_ == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || chdir(cwd.c_str()) != 0) _exit(127);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> argv, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool ChildProcess::running() {
  int status;
  return pid_ > 0 && !reaped_ && waitpid(pid_, &status, WNOHANG) == 0;
}

bool ChildProcess::wait(double seconds, int* status) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (pid_ > 0 && !reaped_) {
    int raw;
    const int r = waitpid(pid_, &raw, WNOHANG);
    if (r == pid_) {
      reaped_ = true;
      *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      return true;
    }
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

VirtualDisplay::VirtualDisplay(int width, int height) {
  int fds[2];
  if (pipe(fds) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    close(fds[0]);
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const std::string fd = std::to_string(fds[1]);
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 2);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  // Xvfb writes the display number it chose once it accepts connections.
  char buf[32] = {};
  size_t used = 0;
  while (used < sizeof buf - 1) {
    const ssize_t n = read(fds[0], buf + used, sizeof buf - 1 - used);
    if (n <= 0) break;
    used += static_cast<size_t>(n);
    if (std::memchr(buf, '\n', used)) break;
  }
  close(fds[0]);
  if (used > 0 && buf[0] >= '0' && buf[0] <= '9') name_ = ":" + std::to_string(std::atoi(buf));
}

VirtualDisplay::~VirtualDisplay() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

std::string readTextFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool grabScreen(const std::string& display, int width, int height, std::vector<uint8_t>* rgb) {
  Display* d = XOpenDisplay(display.c_str());
  if (!d) return false;
  XImage* image = XGetImage(d, DefaultRootWindow(d), 0, 0, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (!image) {
    XCloseDisplay(d);
    return false;
  }
  rgb->resize(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      // The virtual displays of these tests are 24-bit TrueColor: 0xRRGGBB.
      const unsigned long p = XGetPixel(image, x, y);
      uint8_t* o = &(*rgb)[(static_cast<size_t>(y) * width + x) * 3];
      o[0] = static_cast<uint8_t>((p >> 16) & 0xFF);
      o[1] = static_cast<uint8_t>((p >> 8) & 0xFF);
      o[2] = static_cast<uint8_t>(p & 0xFF);
    }
  XDestroyImage(image);
  XCloseDisplay(d);
  return true;
}
