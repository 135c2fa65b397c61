// A small VST3 host without the Steinberg SDK, on the C interface
// declarations that DPF ships (travesty): the module opened through
// ModuleEntry and GetPluginFactory, the audio module created from the
// factory, MIDI notes as note events, the transport as a process context,
// host parameter writes as parameter changes, the state through a byte
// stream, and the program list through its program-change parameter.

#include "support/PluginUnderTest.h"

#include <travesty/audio_processor.h>
#include <travesty/base.h>
#include <travesty/bstream.h>
#include <travesty/component.h>
#include <travesty/edit_controller.h>
#include <travesty/events.h>
#include <travesty/factory.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// The objects we hand to the plug-in: the first member points at a table of
// the three IUnknown functions followed by the interface's own. They live on
// our side for the whole call and are never counted.
v3_result V3_API noInterface(void*, const v3_tuid, void** obj)
{
    *obj = nullptr;
    return V3_NO_INTERFACE;
}
uint32_t V3_API noCount(void*)
{
    return 1;
}

template <typename Interface>
struct Table {
    v3_funknown unknown{noInterface, noCount, noCount};
    Interface methods;
};

// A stream over a byte vector, for the state.
struct Stream {
    const Table<v3_bstream>* table;
    std::vector<uint8_t> bytes;
    std::size_t at = 0;

    static Stream& of(void* self) { return *static_cast<Stream*>(self); }
    static const Table<v3_bstream>* methods()
    {
        static const Table<v3_bstream> table{
            {noInterface, noCount, noCount},
            {[](void* self, void* buffer, int32_t size, int32_t* read) -> v3_result {
                 Stream& s = of(self);
                 const std::size_t n =
                     std::min<std::size_t>(static_cast<std::size_t>(std::max(size, 0)), s.bytes.size() - s.at);
                 if (n > 0)
                     std::memcpy(buffer, s.bytes.data() + s.at, n);
                 s.at += n;
                 if (read)
                     *read = static_cast<int32_t>(n);
                 return V3_OK;
             },
             [](void* self, void* buffer, int32_t size, int32_t* written) -> v3_result {
                 Stream& s = of(self);
                 const auto* p = static_cast<const uint8_t*>(buffer);
                 s.bytes.insert(s.bytes.end(), p, p + std::max(size, 0));
                 if (written)
                     *written = size;
                 return V3_OK;
             },
             [](void* self, int64_t pos, int32_t mode, int64_t* result) -> v3_result {
                 Stream& s = of(self);
                 const int64_t base = mode == V3_SEEK_SET   ? 0
                                      : mode == V3_SEEK_CUR ? static_cast<int64_t>(s.at)
                                                            : static_cast<int64_t>(s.bytes.size());
                 s.at =
                     static_cast<std::size_t>(std::clamp<int64_t>(base + pos, 0, static_cast<int64_t>(s.bytes.size())));
                 if (result)
                     *result = static_cast<int64_t>(s.at);
                 return V3_OK;
             },
             [](void* self, int64_t* pos) -> v3_result {
                 *pos = static_cast<int64_t>(of(self).at);
                 return V3_OK;
             }}};
        return &table;
    }
    Stream() : table(methods()) {}
    v3_bstream** handle() { return reinterpret_cast<v3_bstream**>(this); }
};

// The block's note events.
struct EventList {
    const Table<v3_event_list>* table;
    std::vector<v3_event> events;

    static const Table<v3_event_list>* methods()
    {
        static const Table<v3_event_list> table{
            {noInterface, noCount, noCount},
            {[](void* self) -> uint32_t { return static_cast<uint32_t>(static_cast<EventList*>(self)->events.size()); },
             [](void* self, int32_t index, v3_event* event) -> v3_result {
                 auto& list = static_cast<EventList*>(self)->events;
                 if (index < 0 || static_cast<std::size_t>(index) >= list.size())
                     return V3_INVALID_ARG;
                 *event = list[static_cast<std::size_t>(index)];
                 return V3_OK;
             },
             [](void*, v3_event*) -> v3_result { return V3_NOT_IMPLEMENTED; }}};
        return &table;
    }
    EventList() : table(methods()) {}
    v3_event_list** handle() { return reinterpret_cast<v3_event_list**>(this); }
};

// Parameter changes, one point each at the block's start.
struct ValueQueue {
    const Table<v3_param_value_queue>* table;
    v3_param_id id = 0;
    double value = 0.0;

    static const Table<v3_param_value_queue>* methods()
    {
        static const Table<v3_param_value_queue> table{
            {noInterface, noCount, noCount},
            {[](void* self) -> v3_param_id { return static_cast<ValueQueue*>(self)->id; },
             [](void*) -> int32_t { return 1; },
             [](void* self, int32_t index, int32_t* offset, double* value) -> v3_result {
                 if (index != 0)
                     return V3_INVALID_ARG;
                 *offset = 0;
                 *value = static_cast<ValueQueue*>(self)->value;
                 return V3_OK;
             },
             [](void*, int32_t, double, int32_t*) -> v3_result { return V3_NOT_IMPLEMENTED; }}};
        return &table;
    }
    ValueQueue() : table(methods()) {}
};

struct ParamChanges {
    const Table<v3_param_changes>* table;
    std::vector<ValueQueue> queues;
    std::size_t used = 0;

    static const Table<v3_param_changes>* methods()
    {
        static const Table<v3_param_changes> table{
            {noInterface, noCount, noCount},
            {[](void* self) -> int32_t { return static_cast<int32_t>(static_cast<ParamChanges*>(self)->used); },
             [](void* self, int32_t index) -> v3_param_value_queue** {
                 auto* c = static_cast<ParamChanges*>(self);
                 if (index < 0 || static_cast<std::size_t>(index) >= c->used)
                     return nullptr;
                 return reinterpret_cast<v3_param_value_queue**>(&c->queues[static_cast<std::size_t>(index)]);
             },
             [](void*, v3_param_id*, int32_t*) -> v3_param_value_queue** { return nullptr; }}};
        return &table;
    }
    ParamChanges() : table(methods()), queues(64) {}
    v3_param_changes** handle() { return reinterpret_cast<v3_param_changes**>(this); }
};

std::string narrow(const int16_t* text)
{
    std::string out;
    for (int i = 0; i < 128 && text[i] != 0; ++i)
        out += static_cast<char>(text[i]);
    return out;
}

class Vst3Plugin : public PluginUnderTest {
public:
    explicit Vst3Plugin(const std::string& bundle)
    {
        library_ = openPluginLibrary(bundle + kBinary, error);
        if (!library_)
            return;
        auto getFactory = reinterpret_cast<v3_plugin_factory** (*)()>(pluginSymbol(library_, "GetPluginFactory"));
#ifdef _WIN32
        auto moduleEntry = reinterpret_cast<bool (*)()>(pluginSymbol(library_, "InitDll"));
        if (!moduleEntry || !getFactory || !moduleEntry()) {
            error = "no InitDll or GetPluginFactory, or the module refused to start";
            return;
        }
#else
        auto moduleEntry = reinterpret_cast<bool (*)(void*)>(pluginSymbol(library_, "ModuleEntry"));
        if (!moduleEntry || !getFactory || !moduleEntry(library_)) {
            error = "no ModuleEntry or GetPluginFactory, or the module refused to start";
            return;
        }
#endif
        entered_ = true;
        v3_plugin_factory** factory = getFactory();
        if (!factory) {
            error = "GetPluginFactory returned nothing";
            return;
        }
        for (int32_t i = 0, n = v3_cpp_obj(factory)->num_classes(factory); i < n; ++i) {
            v3_class_info info{};
            v3_cpp_obj(factory)->get_class_info(factory, i, &info);
            if (std::strcmp(info.category, "Audio Module Class") != 0)
                continue;
            void* instance = nullptr;
            if (v3_cpp_obj(factory)->create_instance(factory, info.class_id, v3_component_iid, &instance) == V3_OK)
                component_ = static_cast<v3_component**>(instance);
        }
        v3_cpp_obj_unref(factory);
        if (!component_) {
            error = "the factory has no audio module";
            return;
        }
        v3_cpp_obj_initialize(component_, nullptr);
        v3_cpp_obj_query_interface(component_, v3_audio_processor_iid, &processor_);
        v3_cpp_obj_query_interface(component_, v3_edit_controller_iid, &controller_);
        if (!processor_ || !controller_) {
            error = "the audio module has no processor or no controller";
            return;
        }
        // Parameters by title; the program list behind its parameter.
        for (int32_t i = 0, n = v3_cpp_obj(controller_)->get_parameter_count(controller_); i < n; ++i) {
            v3_param_info info{};
            v3_cpp_obj(controller_)->get_parameter_info(controller_, i, &info);
            if (info.flags & V3_PARAM_PROGRAM_CHANGE) {
                programParam_ = info.param_id;
                programSteps_ = info.step_count;
            } else if (!(info.flags & V3_PARAM_IS_HIDDEN)) {
                params_.push_back(info.param_id);
            }
        }
    }

    ~Vst3Plugin() override
    {
        if (processor_) {
            if (active_) {
                v3_cpp_obj(processor_)->set_processing(processor_, false);
                v3_cpp_obj(component_)->set_active(component_, false);
            }
            v3_cpp_obj_unref(processor_);
        }
        if (controller_)
            v3_cpp_obj_unref(controller_);
        if (component_) {
            v3_cpp_obj_terminate(component_);
            v3_cpp_obj_unref(component_);
        }
        if (entered_) {
            if (auto moduleExit = reinterpret_cast<bool (*)()>(pluginSymbol(library_, kExit)))
                moduleExit();
        }
        if (library_)
            closePluginLibrary(library_);
    }

    void activate(int sampleRate, int maxBlock) override
    {
        v3_speaker_arrangement stereo = V3_SPEAKER_L | V3_SPEAKER_R;
        v3_cpp_obj(processor_)->set_bus_arrangements(processor_, nullptr, 0, &stereo, 1);
        v3_cpp_obj(component_)->activate_bus(component_, V3_AUDIO, V3_OUTPUT, 0, true);
        v3_cpp_obj(component_)->activate_bus(component_, V3_EVENT, V3_INPUT, 0, true);
        v3_process_setup setup{V3_REALTIME, V3_SAMPLE_32, maxBlock, static_cast<double>(sampleRate)};
        v3_cpp_obj(processor_)->setup_processing(processor_, &setup);
        v3_cpp_obj(component_)->set_active(component_, true);
        v3_cpp_obj(processor_)->set_processing(processor_, true);
        active_ = true;
        events_.events.reserve(1024);
    }

    void process(const VstEvents* events, const VstTimeInfo& time, float* left, float* right, int frames) override
    {
        events_.events.clear();
        for (int i = 0; events && i < events->numEvents; ++i) {
            const auto* midi = reinterpret_cast<const VstMidiEvent*>(events->events[i]);
            const int status = midi->midiData[0] & 0xF0;
            const int16_t channel = static_cast<int16_t>(midi->midiData[0] & 0x0F);
            v3_event event{};
            event.sample_offset = midi->deltaFrames;
            if (status == 0x90 && midi->midiData[2] != 0) {
                event.type = V3_EVENT_NOTE_ON;
                event.note_on = {channel, midi->midiData[1], 0.0f, midi->midiData[2] / 127.0f, 0, -1};
            } else if (status == 0x80 || status == 0x90) {
                event.type = V3_EVENT_NOTE_OFF;
                event.note_off = {channel, midi->midiData[1], midi->midiData[2] / 127.0f, -1, 0.0f};
            } else {
                continue; // controllers reach a VST3 plug-in as parameters, not as events
            }
            events_.events.push_back(event);
        }

        v3_process_context context{};
        context.state = V3_PROCESS_CTX_PLAYING | V3_PROCESS_CTX_PROJECT_TIME_VALID | V3_PROCESS_CTX_TEMPO_VALID |
                        V3_PROCESS_CTX_TIME_SIG_VALID | V3_PROCESS_CTX_BAR_POSITION_VALID;
        context.sample_rate = time.sampleRate;
        context.project_time_in_samples = static_cast<int64_t>(time.samplePos);
        context.project_time_quarters = time.ppqPos;
        context.bar_position_quarters = time.barStartPos;
        context.bpm = time.tempo;
        context.time_sig_numerator = time.timeSigNumerator;
        context.time_sig_denom = time.timeSigDenominator;

        float* channels[2] = {left, right};
        v3_audio_bus_buffers output{};
        output.num_channels = 2;
        output.channel_buffers_32 = channels;
        v3_process_data data{};
        data.process_mode = V3_REALTIME;
        data.symbolic_sample_size = V3_SAMPLE_32;
        data.nframes = frames;
        data.num_output_buses = 1;
        data.outputs = &output;
        data.input_params = changes_.used > 0 ? changes_.handle() : nullptr;
        // Hosts always pass a list for the plug-in's own changes.
        data.output_params = outputChanges_.handle();
        data.input_events = events_.handle();
        data.ctx = &context;
        if (audioCallBegins)
            audioCallBegins();
        v3_cpp_obj(processor_)->process(processor_, &data);
        if (audioCallEnds)
            audioCallEnds();
        changes_.used = 0;
    }

    void setParameter(int index, float value) override
    {
        // As a host does: the controller learns the value, and the processor
        // gets it with the next block.
        const v3_param_id id = params_.at(static_cast<std::size_t>(index));
        if (v3_cpp_obj(controller_)->set_parameter_normalised(controller_, id, value) != V3_OK)
            error = "the controller refused a write to parameter " + std::to_string(index);
        ValueQueue& queue = changes_.queues.at(changes_.used++);
        queue.id = id;
        queue.value = value;
    }

    float parameter(int index) override
    {
        return static_cast<float>(
            v3_cpp_obj(controller_)
                ->get_parameter_normalised(controller_, params_.at(static_cast<std::size_t>(index))));
    }

    std::vector<uint8_t> saveState() override
    {
        Stream stream;
        if (v3_cpp_obj(component_)->get_state(component_, stream.handle()) != V3_OK)
            return {};
        return stream.bytes;
    }

    bool loadState(const std::vector<uint8_t>& state) override
    {
        Stream stream;
        stream.bytes = state;
        const bool ok = v3_cpp_obj(component_)->set_state(component_, stream.handle()) == V3_OK;
        // A host hands the same state to the controller.
        stream.at = 0;
        v3_cpp_obj(controller_)->set_component_state(controller_, stream.handle());
        return ok;
    }

    std::vector<ParameterInfo> parameterInfo() override
    {
        std::vector<ParameterInfo> list;
        for (int32_t i = 0, n = v3_cpp_obj(controller_)->get_parameter_count(controller_); i < n; ++i) {
            v3_param_info info{};
            v3_cpp_obj(controller_)->get_parameter_info(controller_, i, &info);
            if (info.flags & (V3_PARAM_IS_HIDDEN | V3_PARAM_PROGRAM_CHANGE))
                continue;
            // VST3 identifies a parameter by its number; it shows values normalised.
            list.push_back({narrow(info.title),
                            std::to_string(info.param_id),
                            0.0f,
                            1.0f,
                            static_cast<float>(info.default_normalised_value),
                            (info.flags & V3_PARAM_CAN_AUTOMATE) != 0,
                            {}});
        }
        return list;
    }

    std::string parameterText(int index, float value) override
    {
        v3_str_128 text{};
        v3_cpp_obj(controller_)
            ->get_parameter_string_for_value(controller_, params_.at(static_cast<std::size_t>(index)), value, text);
        return narrow(text);
    }

    std::string stateValue(const std::string& key) override
    {
        return dpfStateValue(saveState(), key);
    }

    std::vector<std::string> presets() override
    {
        std::vector<std::string> names;
        for (int32_t i = 0; programParam_ != kNone && i <= programSteps_; ++i) {
            v3_str_128 text{};
            v3_cpp_obj(controller_)
                ->get_parameter_string_for_value(controller_, programParam_, static_cast<double>(i) / programSteps_,
                                                 text);
            names.push_back(narrow(text));
        }
        return names;
    }

    bool choosePreset(int index) override
    {
        if (programParam_ == kNone || index < 0 || index > programSteps_)
            return false;
        return v3_cpp_obj(controller_)
                   ->set_parameter_normalised(controller_, programParam_, static_cast<double>(index) / programSteps_) ==
               V3_OK;
    }

private:
    static constexpr v3_param_id kNone = 0xFFFFFFFFu;
    // The module inside the bundle, and the function that ends its use.
#ifdef _WIN32
    static constexpr const char* kBinary = "/Contents/x86_64-win/Tarvel.vst3";
    static constexpr const char* kExit = "ExitDll";
#else
    static constexpr const char* kBinary = "/Contents/x86_64-linux/Tarvel.so";
    static constexpr const char* kExit = "ModuleExit";
#endif

    void* library_ = nullptr;
    bool entered_ = false;
    v3_component** component_ = nullptr;
    v3_audio_processor** processor_ = nullptr;
    v3_edit_controller** controller_ = nullptr;
    bool active_ = false;
    std::vector<v3_param_id> params_;
    v3_param_id programParam_ = kNone;
    int32_t programSteps_ = 0;
    EventList events_;
    ParamChanges changes_;
    ParamChanges outputChanges_;
};

} // namespace

std::unique_ptr<PluginUnderTest> loadVst3(const std::string& bundle)
{
    return std::make_unique<Vst3Plugin>(bundle);
}
