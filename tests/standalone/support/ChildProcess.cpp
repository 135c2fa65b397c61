#include "support/ChildProcess.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

ChildProcess::ChildProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                           const std::string& logPrefix)
    : logPrefix_(logPrefix)
{
    std::vector<std::string> variables;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool changed = false;
        for (const std::string& change : environment)
            changed = changed || change.substr(0, change.find('=')) == name;
        if (!changed)
            variables.push_back(entry);
    }
    for (const std::string& change : environment)
        if (change.find('=') != std::string::npos)
            variables.push_back(change);

    std::vector<char*> argv, envp;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string& v : variables)
        envp.push_back(const_cast<char*>(v.c_str()));
    envp.push_back(nullptr);

    const std::string out = logPrefix + ".out", err = logPrefix + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0)
        pid_ = pid;
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess()
{
    if (running()) {
        kill(pid_, SIGKILL);
        wait(std::chrono::milliseconds(5000));
    }
}

void ChildProcess::signal(int number)
{
    if (running())
        kill(pid_, number);
}

bool ChildProcess::running()
{
    return started() && !wait(std::chrono::milliseconds(0)).has_value();
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds limit)
{
    if (!started() || status_)
        return status_;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return status_;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string ChildProcess::output() const
{
    return readText(logPrefix_ + ".out");
}

std::string ChildProcess::errorOutput() const
{
    return readText(logPrefix_ + ".err");
}
