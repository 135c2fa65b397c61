#include "support/VirtualDisplay.h"

#include "support/ChildProcess.h"

#include <chrono>
#include <csignal>
#include <thread>

VirtualDisplay::VirtualDisplay(const std::string& logFolder)
{
    // Xvfb writes the display number it chose to the file descriptor given;
    // standard output is a file, so it lands there.
    const std::string log = logFolder + "/xvfb";
    process_ = std::make_unique<ChildProcess>(std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0",
                                                                       "1024x768x24", "-nolisten", "tcp", "-noreset"},
                                              std::vector<std::string>{}, log);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (process_->running() && std::chrono::steady_clock::now() < deadline) {
        const std::string text = process_->output();
        if (!text.empty() && text.back() == '\n') {
            name_ = ":" + text.substr(0, text.size() - 1);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

VirtualDisplay::~VirtualDisplay()
{
    process_->signal(SIGTERM);
    process_->wait(std::chrono::milliseconds(3000));
}
