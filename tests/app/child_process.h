// Starting a program for a test: its own working directory and environment additions, standard
// output and error kept in files, and waiting with a time limit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ChildProcess {
 public:
  // Starts program with args (args[0] is passed as argv[0]) in folder cwd, with extra environment
  // entries "NAME=value" added. Output goes to outPath and errPath.
  ChildProcess(const std::vector<std::string>& args, const std::string& cwd, const std::vector<std::string>& env,
               const std::string& outPath, const std::string& errPath);
  ~ChildProcess();  // kills the process if it still runs

  bool started() const { return pid_ > 0; }
  bool running();
  // Waits up to seconds; true with *status (the exit status, or 128 + signal) when it ended.
  bool wait(double seconds, int* status);

 private:
  int pid_ = -1;
  bool reaped_ = false;
};

// A private virtual X display for one test (so that screenshots see no other test's windows).
class VirtualDisplay {
 public:
  VirtualDisplay(int width, int height);
  ~VirtualDisplay();
  bool ok() const { return !name_.empty(); }
  const std::string& name() const { return name_; }   // ":N"

 private:
  int pid_ = -1;
  std::string name_;
};

std::string readTextFile(const std::string& path);

// RGB bytes of the top-left width x height pixels of the display's screen, rows top to bottom.
bool grabScreen(const std::string& display, int width, int height, std::vector<uint8_t>* rgb);
