// The VST 2.4 edition, through the command-line host's loader: the reference
// every other edition is compared with.

#include "support/PluginUnderTest.h"

#include "host/HostError.h"
#include "host/Plugin.h"

namespace {

class Vst2Plugin : public PluginUnderTest {
public:
    explicit Vst2Plugin(const std::string& path)
    {
        try {
            plugin_ = TarvelHost::Plugin::load(path);
        } catch (const std::exception& e) {
            error = e.what();
        }
    }

    void activate(int sampleRate, int maxBlock) override { plugin_->start(sampleRate, maxBlock); }

    void process(const VstEvents* events, const VstTimeInfo& time, float* left, float* right, int frames) override
    {
        plugin_->setTimeInfo(time);
        plugin_->processEvents(const_cast<VstEvents*>(events));
        plugin_->process(left, right, frames);
    }

    void setParameter(int index, float value) override { plugin_->setParameter(index, value); }
    float parameter(int index) override { return plugin_->getParameter(index); }

    // The bank chunk stands for the state.
    std::vector<uint8_t> saveState() override { return plugin_->getChunk(false); }
    bool loadState(const std::vector<uint8_t>& state) override
    {
        plugin_->setChunk(false, state);
        return true;
    }
    std::string stateValue(const std::string& key) override
    {
        if (key == "bank")
            return encodeBase64(plugin_->getChunk(false));
        if (key == "program")
            return std::to_string(plugin_->currentProgram());
        return {};
    }

    std::vector<ParameterInfo> parameterInfo() override
    {
        std::vector<ParameterInfo> list;
        for (int i = 0; i < plugin_->numParams(); ++i)
            list.push_back({plugin_->paramName(i), plugin_->paramName(i), 0.0f, 1.0f, 0.0f, true, {}});
        return list;
    }

    // The display text of the stored value, after storing `value`.
    std::string parameterText(int index, float value) override
    {
        const float old = plugin_->getParameter(index);
        plugin_->setParameter(index, value);
        const std::string text = plugin_->paramDisplay(index);
        plugin_->setParameter(index, old);
        return text;
    }

    // The program list: the bank's 32 programs, chosen by number.
    std::vector<std::string> presets() override
    {
        std::vector<std::string> names;
        for (int i = 0; i < plugin_->numPrograms(); ++i)
            names.push_back(plugin_->programName(i));
        return names;
    }
    bool choosePreset(int index) override
    {
        plugin_->setProgram(index);
        return plugin_->currentProgram() == index;
    }

private:
    std::unique_ptr<TarvelHost::Plugin> plugin_;
};

} // namespace

std::unique_ptr<PluginUnderTest> loadVst2(const std::string& path)
{
    return std::make_unique<Vst2Plugin>(path);
}
