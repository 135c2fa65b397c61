#pragma once
// The module framework shared by every piece of sound code: modules render
// into 16-sample sub-blocks and read their settings through pointers to
// named parameters that live in one container, the Effect.

#include <cstddef>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Vorn {

// Every module buffer and modulation input is this long; a process() call
// never renders more samples than this.
constexpr int kSubBlock = 16;

class ParamFormatter {
public:
    // Writes the display text of `value` for the parameter whose value
    // pointer is `param`, cut to `size` bytes including the terminator.
    // Returns the number of characters the untruncated print produced.
    virtual int format(const float* param, float value, char* text, std::size_t size);

protected:
    ~ParamFormatter() = default;
};

class NoAssignOrCopy {
public:
    NoAssignOrCopy() = default;
    NoAssignOrCopy(const NoAssignOrCopy&) = delete;
    NoAssignOrCopy& operator=(const NoAssignOrCopy&) = delete;
};

// The note-event interface. It has no data and no virtual destructor:
// nothing is ever deleted through it.
class MIDIListener {
public:
    virtual void controlChange(int controller, int value) = 0;
    virtual void noteOff(int note) = 0;
    virtual void noteOn(int note, int velocity) = 0;

protected:
    ~MIDIListener() = default;
};

class Effect;

// Copies `count` (0..kSubBlock) samples. A whole sub-block, as nearly
// every call has, is a copy of fixed length: a few vector moves rather than
// a call into the library.
inline void copySamples(float* to, const float* from, int count)
{
    if (count == kSubBlock)
        std::memcpy(to, from, sizeof(float) * kSubBlock);
    else if (count > 0)
        std::memcpy(to, from, sizeof(float) * static_cast<std::size_t>(count));
}

// Reads a live parameter value from a thread other than the audio thread
// (display texts that depend on another live setting): the audio thread
// stores live values whole, so the read must take the float whole too.
inline float readLive(const float* value)
{
    float result;
    __atomic_load(value, &result, __ATOMIC_RELAXED);
    return result;
}

class Module : public ParamFormatter, public NoAssignOrCopy {
public:
    Module(Effect* owner, const char* name);
    virtual ~Module();
    // Called once per host block before any rendering.
    virtual void prepare() {}
    // Renders `count` (1..16) samples into output[0..count-1].
    virtual void process(int sampleRate, int count) = 0;
    // Renders the same module of several voices, this one being group[0]
    // and every other one of the same class. Voices share nothing while they
    // render, so a module may interleave its peers' work (a feedback loop of
    // each in its own vector lane, say) as long as every one of them
    // computes what process() would have.
    virtual void processGroup(Module* const* group, int size, int sampleRate, int count)
    {
        for (int i = 0; i < size; ++i)
            group[i]->process(sampleRate, count);
    }
    // True for a module whose processGroup() does better than one voice
    // after the other.
    virtual bool rendersInGroups() const { return false; }

    Effect* owner;
    std::string name;
    float output[kSubBlock];
};

struct Parameter {
    Module* owner;    // first registrant; formats the display text
    std::string name; // module name + parameter name
    float defaultValue;
    float value; // live value read by the modules
};

class Effect : public NoAssignOrCopy {
public:
    Effect() = default;
    virtual ~Effect();
    virtual double songPosition() const { return songPosition_; }
    virtual float tempo() const { return tempo_; }

    // Returns the live value of the parameter named module->name + name,
    // creating it (with this default) when no module registered it before.
    // The pointer stays valid for the life of the Effect.
    float* addParameter(Module* module, const char* parameterName, float defaultValue);
    int parameterCount() const { return static_cast<int>(parameters_.size()); }
    Parameter& parameter(int index) { return *parameters_[static_cast<std::size_t>(index)]; }
    const Parameter& parameter(int index) const { return *parameters_[static_cast<std::size_t>(index)]; }
    // Exact, case-sensitive lookup by full name; -1 when absent.
    int findParameter(const char* fullName) const;

    void setSongPosition(double ppq) { songPosition_ = ppq; }
    void setTempo(float bpm) { tempo_ = bpm; }

private:
    std::vector<std::unique_ptr<Parameter>> parameters_;
    // Full name to index; looked up by a plain C string without a copy.
    std::map<std::string, int, std::less<>> nameIndex_;
    double songPosition_ = 0.0;
    float tempo_ = 0.0f;
};

// Multiplies another module's output by its "Amount" parameter.
class Scaler : public Module {
public:
    Scaler(Effect* owner, const char* name, const Module* input);
    void process(int sampleRate, int count) override;

private:
    const Module* input_;
    const float* amount_;
};

} // namespace Vorn
