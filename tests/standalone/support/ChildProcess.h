#pragma once
// A program the tests start and stop: its own environment (some variables
// set, some removed), its output in files, signals, and waiting with a
// deadline. A child still running when the object goes is killed.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class ChildProcess {
public:
    // `environment` changes the test's own: "NAME=value" sets, "NAME" removes.
    // Standard output and error go to `logPrefix`.out and `logPrefix`.err.
    ChildProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                 const std::string& logPrefix);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    void signal(int number);
    // The exit status (or 128 + the signal that ended it) if the program
    // ends within `limit`.
    std::optional<int> wait(std::chrono::milliseconds limit);
    bool running();

    std::string output() const;
    std::string errorOutput() const;

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
    std::string logPrefix_;
};

std::string readText(const std::string& path);
