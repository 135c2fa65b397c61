#include "plugin/ProgramStore.h"

#include "dsp/Module.h"

#include <cstring>

ProgramStore::ProgramStore(const Vorn::Effect& parameters)
    : parameters_(parameters), parameterCount_(parameters.parameterCount())
{
    programs_.reserve(kProgramCount);
    for (int p = 0; p < kProgramCount; ++p) {
        auto program = std::make_unique<Program>(parameterCount_);
        for (int i = 0; i < parameterCount_; ++i)
            program->param(i).value.store(parameters.parameter(i).value, std::memory_order_relaxed);
        programs_.push_back(std::move(program));
    }
    current_.store(programs_[0].get());
}

void ProgramStore::select(int index)
{
    if (index >= 0 && index < kProgramCount)
        current_.store(programs_[static_cast<std::size_t>(index)].get());
}

void ProgramStore::setName(const char* text)
{
    const Lock held = lock();
    current().setName(text);
}

void ProgramStore::copyName(char* text, std::size_t length)
{
    const Lock held = lock();
    std::memcpy(text, current().name, length);
    text[length] = 0;
}

void ProgramStore::copyName(int index, char* text, std::size_t length)
{
    const Lock held = lock();
    std::memcpy(text, programs_[static_cast<std::size_t>(index)]->name, length);
    text[length] = 0;
}

bool ProgramStore::hasBend(int index)
{
    if (!validIndex(index))
        return false;
    const Lock held = lock();
    return !current().param(index).bend.empty();
}

std::vector<BendPoint> ProgramStore::bendPoints(int index)
{
    if (!validIndex(index))
        return {};
    const Lock held = lock();
    return current().param(index).bend.points();
}

void ProgramStore::clearBend(int index)
{
    if (!validIndex(index))
        return;
    const Lock held = lock();
    current().param(index).bend.clear();
}

void ProgramStore::clearBends()
{
    const Lock held = lock();
    Program& program = current();
    for (int i = 0; i < program.paramCount; ++i)
        program.param(i).bend.clear();
}

void ProgramStore::appendBendPoint(int index, BendPoint point, const Lock&)
{
    current().param(index).bend.append(point, reclaimer_);
}
