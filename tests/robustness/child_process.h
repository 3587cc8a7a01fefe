#pragma once

// Runs the programs (verdalia-cli, verdalia-gen) as child processes with a deadline, so that
// a run that blocks or loops fails its test instead of holding the suite, and reports what
// the child cost (peak memory) and how it ended. Shared by the robustness tests, each its
// own executable.

#include <chrono>
#include <csignal>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/fixtures.h"

namespace verdalia::testing {

// Root reads and writes whatever the permissions say: a test that needs a permission to be
// refused runs its program as nobody when it is root, and as itself otherwise.
inline bool DropPrivileges() {
  return ::geteuid() != 0 ||
         (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0);
}

struct ChildOptions {
  std::string folder = ".";       // the child's working folder
  int deadline_seconds = 60;      // killed after this long
  long long file_size_limit = -1; // RLIMIT_FSIZE in bytes, -1 for none
  bool unprivileged = false;      // as an ordinary user: root becomes nobody (uid 65534) first
};

struct ChildRun {
  int status = -1;        // the exit status, -1 when the child did not exit
  int signal = 0;         // the signal that ended it, if any
  bool timed_out = false; // killed at the deadline
  long max_rss_kb = 0;    // peak resident memory of the child
  std::string out;
  std::string err;
};

inline ChildRun RunChild(const std::string &program, const std::vector<std::string> &args,
                         const ChildOptions &options) {
  const TempDir logs;
  const std::string out_path = (logs.path() / "stdout").string();
  const std::string err_path = (logs.path() / "stderr").string();
  std::vector<std::string> argv_text = {program};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char *> argv;
  for (std::string &arg : argv_text) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid == 0) {
    // In the child only async-signal-safe calls until exec.
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
      ::_exit(120);
    }
    if (::chdir(options.folder.c_str()) != 0) {
      ::_exit(121);
    }
    if (options.file_size_limit >= 0) {
      // A write past the limit then fails with EFBIG instead of ending the process.
      ::signal(SIGXFSZ, SIG_IGN);
      struct rlimit limit {};
      limit.rlim_cur = static_cast<rlim_t>(options.file_size_limit);
      limit.rlim_max = RLIM_INFINITY;
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        ::_exit(122);
      }
    }
    if (options.unprivileged && !DropPrivileges()) {
      ::_exit(123);
    }
    ::setenv("LC_ALL", "C", 1);
    ::execv(argv[0], argv.data());
    ::_exit(124);
  }

  ChildRun run;
  if (pid < 0) {
    return run;
  }
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(options.deadline_seconds);
  int raw = 0;
  struct rusage usage {};
  for (;;) {
    const pid_t done = ::wait4(pid, &raw, WNOHANG, &usage);
    if (done == pid) {
      break;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      run.timed_out = true;
      ::kill(pid, SIGKILL);
      ::wait4(pid, &raw, 0, &usage);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (WIFEXITED(raw)) {
    run.status = WEXITSTATUS(raw);
  } else if (WIFSIGNALED(raw)) {
    run.signal = WTERMSIG(raw);
  }
  run.max_rss_kb = usage.ru_maxrss;
  run.out = ReadBytes(out_path);
  run.err = ReadBytes(err_path);
  return run;
}

inline ChildRun RunCliChild(const std::vector<std::string> &args,
                            const ChildOptions &options = {}) {
  return RunChild(VERDALIA_BINARY_DIR "/verdalia-cli", args, options);
}

// Writes a data file with the generator against the shipped database; `args` adds its
// options (--records, --physical-faults, ...). Returns the file's path.
inline std::string Generate(const TempDir &dir, const std::string &name,
                            const std::vector<std::string> &args = {}) {
  const std::string path = (dir.path() / name).string();
  std::vector<std::string> all = {"--db", VERDALIA_REFERENCE_DB, "-o", path};
  all.insert(all.end(), args.begin(), args.end());
  const ChildRun run = RunChild(VERDALIA_BINARY_DIR "/verdalia-gen", all, {});
  if (run.status != 0) {
    throw std::runtime_error("verdalia-gen failed: " + run.err);
  }
  return path;
}

} // namespace verdalia::testing
