#include "dsp/Module.h"

#include <cstdio>
#include <cstring>

namespace Vorn {

int ParamFormatter::format(const float*, float value, char* text, std::size_t size)
{
    return std::snprintf(text, size, "%0.2f", static_cast<double>(value));
}

Module::Module(Effect* owner_, const char* name_) : owner(owner_), name(name_)
{
    std::memset(output, 0, sizeof output);
}

Module::~Module() = default;

Effect::~Effect() = default;

float* Effect::addParameter(Module* module, const char* parameterName, float defaultValue)
{
    std::string fullName = module->name + parameterName;
    auto found = nameIndex_.find(fullName);
    if (found != nameIndex_.end())
        return &parameters_[static_cast<std::size_t>(found->second)]->value;
    auto record = std::make_unique<Parameter>(Parameter{module, fullName, defaultValue, defaultValue});
    float* value = &record->value;
    // Reserve first so that a failure leaves the list and the index in step.
    parameters_.reserve(parameters_.size() + 1);
    nameIndex_.emplace(std::move(fullName), static_cast<int>(parameters_.size()));
    parameters_.push_back(std::move(record));
    return value;
}

int Effect::findParameter(const char* fullName) const
{
    if (fullName == nullptr)
        return -1;
    const auto found = nameIndex_.find(fullName);
    return found != nameIndex_.end() ? found->second : -1;
}

Scaler::Scaler(Effect* owner_, const char* name_, const Module* input)
    : Module(owner_, name_), input_(input), amount_(owner_->addParameter(this, "Amount", 0.0f))
{
}

void Scaler::process(int, int count)
{
    for (int j = 0; j < count; ++j)
        output[j] = input_->output[j] * *amount_;
}

} // namespace Vorn
