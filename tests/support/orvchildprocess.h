// A forked process that a test steps through pipes: sessions in two
// processes on one folder.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <stdexcept>

namespace orv::test {

// Runs Child in a forked process that reports through a pipe; the parent
// steps it with Go and waits for its lines with Expect.
class ChildProcess {
 public:
  explicit ChildProcess(const std::function<void(ChildProcess&)>& Child) {
    if (::pipe(FToChild) != 0 || ::pipe(FToParent) != 0) throw std::runtime_error("pipe failed");
    FPid = ::fork();
    if (FPid == 0) {
      ::close(FToChild[1]);
      ::close(FToParent[0]);
      int Status = 0;
      try {
        Child(*this);
      } catch (...) {
        Status = 2;
      }
      ::_exit(Status);
    }
    ::close(FToChild[0]);
    ::close(FToParent[1]);
  }
  ~ChildProcess() { Finish(); }

  // In the child: tell the parent and wait for its answer.
  void Tell(char Code) { (void)!::write(FToParent[1], &Code, 1); }
  char Await() {
    char Code = 0;
    return ::read(FToChild[0], &Code, 1) == 1 ? Code : '\0';
  }
  // In the parent.
  void Go(char Code = 'g') { (void)!::write(FToChild[1], &Code, 1); }
  char Expect() {
    char Code = 0;
    return ::read(FToParent[0], &Code, 1) == 1 ? Code : '\0';
  }
  int Finish() {
    if (FPid <= 0) return FStatus;
    ::close(FToChild[1]);
    int Raw = 0;
    ::waitpid(FPid, &Raw, 0);
    ::close(FToParent[0]);
    FPid = 0;
    FStatus = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : 99;
    return FStatus;
  }

 private:
  int FToChild[2] = {-1, -1};
  int FToParent[2] = {-1, -1};
  pid_t FPid = -1;
  int FStatus = -1;
};

}  // namespace orv::test
