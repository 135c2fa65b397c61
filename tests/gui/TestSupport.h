#pragma once
// Shared pieces of the toolkit tests: a fake clock and a listener that
// records what a control reports.

#include "gui/CControl.h"
#include "gui/CControlListener.h"
#include "gui/TickCount.h"

#include <cstdint>
#include <string>
#include <vector>

struct FakeClock {
    static std::uint32_t now;
    static std::uint32_t read() { return now; }
    FakeClock(std::uint32_t start = 1000)
    {
        now = start;
        setTickSource(&FakeClock::read);
    }
    ~FakeClock() { setTickSource(nullptr); }
};

struct RecordingListener : CControlListener {
    struct Event {
        std::string kind;
        float value;
    };
    std::vector<Event> events;

    void valueChanged(CControl* control) override { events.push_back({"change", control->getValue()}); }
    void controlBeginEdit(CControl* control) override { events.push_back({"begin", control->getValue()}); }
    void controlEndEdit(CControl* control) override { events.push_back({"end", control->getValue()}); }

    std::string kinds() const
    {
        std::string s;
        for (const Event& e : events)
            s += (s.empty() ? "" : " ") + e.kind;
        return s;
    }
    int count(const char* kind) const
    {
        int n = 0;
        for (const Event& e : events)
            n += e.kind == kind;
        return n;
    }
};
