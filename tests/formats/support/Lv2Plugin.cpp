// A small LV2 host on liblilv: the plug-in found in its bundle and
// instantiated with the features it requires, MIDI and a time:Position
// object in its atom input each block, control ports for the parameters,
// and state saved to and restored from a file as lilv does for sessions.

#include "support/PluginUnderTest.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// URIs mapped to numbers, for the plug-in and for lilv.
class UridMap {
public:
    UridMap()
    {
        map_.handle = this;
        map_.map = [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<UridMap*>(h)->map(uri); };
        unmap_.handle = this;
        unmap_.unmap = [](LV2_URID_Unmap_Handle h, LV2_URID id) { return static_cast<UridMap*>(h)->unmap(id); };
    }
    LV2_URID map(const char* uri)
    {
        auto it = ids_.find(uri);
        if (it != ids_.end())
            return it->second;
        uris_.emplace_back(uri);
        const LV2_URID id = static_cast<LV2_URID>(uris_.size());
        ids_.emplace(uri, id);
        return id;
    }
    const char* unmap(LV2_URID id) const { return id >= 1 && id <= uris_.size() ? uris_[id - 1].c_str() : nullptr; }
    LV2_URID_Map map_{};
    LV2_URID_Unmap unmap_{};

private:
    std::vector<std::string> uris_;
    std::map<std::string, LV2_URID> ids_;
};

class Lv2Plugin : public PluginUnderTest {
public:
    Lv2Plugin(const std::string& bundleParent, const std::string& uri)
    {
        world_ = lilv_world_new();
        LilvNode* path = lilv_new_string(world_, bundleParent.c_str());
        lilv_world_set_option(world_, LILV_OPTION_LV2_PATH, path);
        lilv_node_free(path);
        lilv_world_load_all(world_);
        LilvNode* uriNode = lilv_new_uri(world_, uri.c_str());
        plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uriNode);
        lilv_node_free(uriNode);
        if (!plugin_) {
            error = "plug-in " + uri + " not found under " + bundleParent;
            return;
        }
        const uint32_t ports = lilv_plugin_get_num_ports(plugin_);
        controls_.assign(ports, 0.0f);
        std::vector<float> defaults(ports, 0.0f);
        lilv_plugin_get_port_ranges_float(plugin_, nullptr, nullptr, defaults.data());
        LilvNode* controlClass = lilv_new_uri(world_, LV2_CORE__ControlPort);
        LilvNode* inputClass = lilv_new_uri(world_, LV2_CORE__InputPort);
        for (uint32_t i = 0; i < ports; ++i) {
            const LilvPort* port = lilv_plugin_get_port_by_index(plugin_, i);
            if (lilv_port_is_a(plugin_, port, controlClass) && lilv_port_is_a(plugin_, port, inputClass)) {
                controls_[i] = std::isnan(defaults[i]) ? 0.0f : defaults[i];
                symbols_[lilv_node_as_string(lilv_port_get_symbol(plugin_, port))] = i;
                controlPorts_.push_back(i);
            }
        }
        lilv_node_free(controlClass);
        lilv_node_free(inputClass);
        urids_.position = uridMap_.map(LV2_TIME__Position);
        urids_.object = uridMap_.map(LV2_ATOM__Object);
        urids_.midiEvent = uridMap_.map(LV2_MIDI__MidiEvent);
        urids_.sequence = uridMap_.map(LV2_ATOM__Sequence);
        urids_.chunk = uridMap_.map(LV2_ATOM__Chunk);
        lv2_atom_forge_init(&forge_, &uridMap_.map_);
    }

    ~Lv2Plugin() override
    {
        if (instance_) {
            if (active_)
                lilv_instance_deactivate(instance_);
            lilv_instance_free(instance_);
        }
        lilv_world_free(world_);
    }

    void activate(int sampleRate, int maxBlock) override
    {
        sampleRate_ = static_cast<float>(sampleRate);
        maxBlock_ = maxBlock;
        instantiate();
        lilv_instance_activate(instance_);
        active_ = true;
    }

    void process(const VstEvents* events, const VstTimeInfo& time, float* left, float* right, int frames) override
    {
        // The atom input: the transport at frame 0, then the block's MIDI.
        lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<uint8_t*>(input_.data()), input_.size() * 8);
        LV2_Atom_Forge_Frame sequence;
        lv2_atom_forge_sequence_head(&forge_, &sequence, 0);
        const bool announce = !onlyOnChanges_ || time.tempo != lastTempo_ || time.samplePos != nextFrame_;
        lastTempo_ = time.tempo;
        nextFrame_ = time.samplePos + frames;
        if (announce)
            writePosition(time);
        for (int i = 0; events && i < events->numEvents; ++i) {
            const auto* midi = reinterpret_cast<const VstMidiEvent*>(events->events[i]);
            if (midi->type != kVstMidiType)
                continue;
            lv2_atom_forge_frame_time(&forge_, midi->deltaFrames);
            lv2_atom_forge_atom(&forge_, 3, urids_.midiEvent);
            lv2_atom_forge_write(&forge_, midi->midiData, 3);
        }
        lv2_atom_forge_pop(&forge_, &sequence);

        // The atom output: empty, with its capacity.
        auto* out = reinterpret_cast<LV2_Atom_Sequence*>(output_.data());
        out->atom.type = urids_.chunk;
        out->atom.size = static_cast<uint32_t>(output_.size() * 8 - sizeof(LV2_Atom));

        lilv_instance_connect_port(instance_, 0, left);
        lilv_instance_connect_port(instance_, 1, right);
        if (audioCallBegins)
            audioCallBegins();
        lilv_instance_run(instance_, static_cast<uint32_t>(frames));
        if (audioCallEnds)
            audioCallEnds();
    }

    void setParameter(int index, float value) override
    {
        controls_[controlPorts_.at(static_cast<std::size_t>(index))] = value;
    }
    float parameter(int index) override { return controls_[controlPorts_.at(static_cast<std::size_t>(index))]; }

    std::vector<uint8_t> saveState() override
    {
        char dirTemplate[] = "/tmp/tarvel-lv2-state-XXXXXX";
        const std::string dir = mkdtemp(dirTemplate);
        LilvState* state = lilv_state_new_from_instance(plugin_, instance_, &uridMap_.map_, nullptr, nullptr, nullptr,
                                                        dir.c_str(), &Lv2Plugin::portValue, this,
                                                        LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features_.data());
        lilv_state_save(world_, &uridMap_.map_, &uridMap_.unmap_, state, nullptr, dir.c_str(), "state.ttl");
        lilv_state_free(state);
        std::ifstream in(dir + "/state.ttl", std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        std::remove((dir + "/state.ttl").c_str());
        std::remove((dir + "/manifest.ttl").c_str());
        rmdir(dir.c_str());
        return bytes;
    }

    bool loadState(const std::vector<uint8_t>& bytes) override
    {
        char dirTemplate[] = "/tmp/tarvel-lv2-state-XXXXXX";
        const std::string dir = mkdtemp(dirTemplate);
        const std::string file = dir + "/state.ttl";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        LilvState* state = lilv_state_new_from_file(world_, &uridMap_.map_, nullptr, file.c_str());
        std::remove(file.c_str());
        rmdir(dir.c_str());
        if (!state)
            return false;
        restore(state);
        lilv_state_free(state);
        return true;
    }

    std::vector<ParameterInfo> parameterInfo() override
    {
        std::vector<ParameterInfo> list;
        LilvNode* notAutomatic = lilv_new_uri(world_, "http://lv2plug.in/ns/ext/port-props#notAutomatic");
        for (uint32_t index : controlPorts_) {
            const LilvPort* port = lilv_plugin_get_port_by_index(plugin_, index);
            LilvNode* name = lilv_port_get_name(plugin_, port);
            LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
            lilv_port_get_range(plugin_, port, &def, &min, &max);
            list.push_back({lilv_node_as_string(name),
                            lilv_node_as_string(lilv_port_get_symbol(plugin_, port)),
                            lilv_node_as_float(min),
                            lilv_node_as_float(max),
                            lilv_node_as_float(def),
                            !lilv_port_has_property(plugin_, port, notAutomatic),
                            {}});
            if (LilvScalePoints* points = lilv_port_get_scale_points(plugin_, port)) {
                LILV_FOREACH(scale_points, it, points)
                {
                    const LilvScalePoint* point = lilv_scale_points_get(points, it);
                    list.back().scalePoints.emplace_back(lilv_node_as_float(lilv_scale_point_get_value(point)),
                                                         lilv_node_as_string(lilv_scale_point_get_label(point)));
                }
                lilv_scale_points_free(points);
                std::sort(list.back().scalePoints.begin(), list.back().scalePoints.end());
            }
            lilv_node_free(name);
            lilv_node_free(def);
            lilv_node_free(min);
            lilv_node_free(max);
        }
        lilv_node_free(notAutomatic);
        return list;
    }

    std::string stateValue(const std::string& key) override { return stateProperty("urn:tarvel:state#" + key); }

    std::vector<std::string> presets() override
    {
        std::vector<std::string> labels;
        for (const auto& preset : presetsByUri())
            labels.push_back(preset.second);
        return labels;
    }

    bool choosePreset(int index) override
    {
        const auto list = presetsByUri();
        if (index < 0 || static_cast<std::size_t>(index) >= list.size())
            return false;
        LilvNode* uri = lilv_new_uri(world_, list[static_cast<std::size_t>(index)].first.c_str());
        lilv_world_load_resource(world_, uri);
        LilvState* state = lilv_state_new_from_world(world_, &uridMap_.map_, uri);
        lilv_node_free(uri);
        if (!state)
            return false;
        restore(state);
        lilv_state_free(state);
        return true;
    }

    // One property of the plug-in's state, as its state interface saves it.
    std::string stateProperty(const std::string& keyUri)
    {
        const auto* iface =
            static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance_, LV2_STATE__interface));
        struct Capture {
            LV2_URID key;
            std::string value;
        } capture{uridMap_.map(keyUri.c_str()), {}};
        iface->save(
            lilv_instance_get_handle(instance_),
            [](LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t, uint32_t) {
                auto* c = static_cast<Capture*>(h);
                if (key == c->key)
                    c->value.assign(static_cast<const char*>(value), strnlen(static_cast<const char*>(value), size));
                return LV2_STATE_SUCCESS;
            },
            &capture, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features_.data());
        return capture.value;
    }

    void announceTransportOnlyOnChanges() override { onlyOnChanges_ = true; }

private:
    void key(const char* uri) { lv2_atom_forge_key(&forge_, uridMap_.map(uri)); }

    // A time:Position object at frame 0, with the running beat number.
    void writePosition(const VstTimeInfo& time)
    {
        lv2_atom_forge_frame_time(&forge_, 0);
        LV2_Atom_Forge_Frame object;
        lv2_atom_forge_object(&forge_, &object, 0, urids_.position);
        const double quartersPerBar = time.timeSigNumerator * 4.0 / time.timeSigDenominator;
        const double beatsPerQuarter = time.timeSigDenominator / 4.0;
        const int64_t bar = static_cast<int64_t>(std::floor(time.barStartPos / quartersPerBar + 1e-9));
        key(LV2_TIME__frame);
        lv2_atom_forge_long(&forge_, static_cast<int64_t>(time.samplePos));
        key(LV2_TIME__speed);
        lv2_atom_forge_float(&forge_, 1.0f);
        key(LV2_TIME__bar);
        lv2_atom_forge_long(&forge_, bar);
        key(LV2_TIME__barBeat);
        lv2_atom_forge_double(&forge_, (time.ppqPos - time.barStartPos) * beatsPerQuarter);
        key(LV2_TIME__beat);
        lv2_atom_forge_double(&forge_, time.ppqPos * beatsPerQuarter);
        key(LV2_TIME__beatUnit);
        lv2_atom_forge_int(&forge_, time.timeSigDenominator);
        key(LV2_TIME__beatsPerBar);
        lv2_atom_forge_double(&forge_, static_cast<double>(time.timeSigNumerator));
        key(LV2_TIME__beatsPerMinute);
        lv2_atom_forge_double(&forge_, time.tempo);
        lv2_atom_forge_pop(&forge_, &object);
    }

    void instantiate()
    {
        // The options the plug-in reads at instantiation.
        const int32_t block = maxBlock_;
        options_ = {{LV2_OPTIONS_INSTANCE, 0, uridMap_.map(LV2_PARAMETERS__sampleRate), sizeof(float),
                     uridMap_.map(LV2_ATOM__Float), &sampleRate_},
                    {LV2_OPTIONS_INSTANCE, 0, uridMap_.map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
                     uridMap_.map(LV2_ATOM__Int), &maxBlock_},
                    {LV2_OPTIONS_INSTANCE, 0, uridMap_.map(LV2_BUF_SIZE__nominalBlockLength), sizeof(int32_t),
                     uridMap_.map(LV2_ATOM__Int), &maxBlock_},
                    {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
        (void)block;
        schedule_.handle = this;
        schedule_.schedule_work = [](LV2_Worker_Schedule_Handle h, uint32_t size, const void* data) {
            // Work done at once, as a host with a synchronous worker does.
            auto* self = static_cast<Lv2Plugin*>(h);
            const auto* worker = static_cast<const LV2_Worker_Interface*>(
                lilv_instance_get_extension_data(self->instance_, LV2_WORKER__interface));
            if (worker)
                worker->work(
                    lilv_instance_get_handle(self->instance_),
                    [](LV2_Worker_Respond_Handle, uint32_t, const void*) { return LV2_WORKER_SUCCESS; }, nullptr, size,
                    data);
            return LV2_WORKER_SUCCESS;
        };
        featureList_ = {{LV2_URID__map, &uridMap_.map_},
                        {LV2_URID__unmap, &uridMap_.unmap_},
                        {LV2_OPTIONS__options, options_.data()},
                        {LV2_WORKER__schedule, &schedule_},
                        {LV2_BUF_SIZE__boundedBlockLength, nullptr}};
        features_.clear();
        for (LV2_Feature& f : featureList_)
            features_.push_back(&f);
        features_.push_back(nullptr);

#ifdef TARVEL_KEEP_PLUGIN_LOADED
        // Loaded once more and never unloaded, so that lilv's unloading
        // leaves it in place.
        char* path = lilv_file_uri_parse(lilv_node_as_uri(lilv_plugin_get_library_uri(plugin_)), nullptr);
        dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        lilv_free(path);
#endif
        instance_ = lilv_plugin_instantiate(plugin_, sampleRate_, features_.data());
        if (!instance_) {
            error = "the plug-in could not be instantiated";
            return;
        }
        input_.assign(8192, 0);
        output_.assign(1024, 0);
        lilv_instance_connect_port(instance_, 2, input_.data());
        lilv_instance_connect_port(instance_, 3, output_.data());
        for (uint32_t port : controlPorts_)
            lilv_instance_connect_port(instance_, port, &controls_[port]);
    }

    void restore(LilvState* state)
    {
        lilv_state_restore(state, instance_, &Lv2Plugin::setPortValue, this, 0, features_.data());
    }

    // The presets related to the plug-in, by URI (the plug-in numbers them
    // in its own order), with their labels.
    std::vector<std::pair<std::string, std::string>> presetsByUri()
    {
        std::vector<std::pair<std::string, std::string>> list;
        LilvNode* presetClass = lilv_new_uri(world_, LV2_PRESETS__Preset);
        LilvNode* label = lilv_new_uri(world_, LILV_NS_RDFS "label");
        LilvNodes* presets = lilv_plugin_get_related(plugin_, presetClass);
        LILV_FOREACH(nodes, it, presets)
        {
            const LilvNode* preset = lilv_nodes_get(presets, it);
            lilv_world_load_resource(world_, preset);
            LilvNodes* labels = lilv_world_find_nodes(world_, preset, label, nullptr);
            const std::string text = labels && lilv_nodes_size(labels) > 0
                                         ? lilv_node_as_string(lilv_nodes_get_first(labels))
                                         : std::string();
            lilv_nodes_free(labels);
            list.emplace_back(lilv_node_as_uri(preset), text);
        }
        lilv_nodes_free(presets);
        lilv_node_free(label);
        lilv_node_free(presetClass);
        std::sort(list.begin(), list.end());
        return list;
    }

    static const void* portValue(const char* symbol, void* data, uint32_t* size, uint32_t* type)
    {
        auto* self = static_cast<Lv2Plugin*>(data);
        auto it = self->symbols_.find(symbol);
        if (it == self->symbols_.end())
            return nullptr;
        *size = sizeof(float);
        *type = self->uridMap_.map(LV2_ATOM__Float);
        return &self->controls_[it->second];
    }

    static void setPortValue(const char* symbol, void* data, const void* value, uint32_t size, uint32_t type)
    {
        // Presets write whole numbers as integers: convert as hosts do.
        auto* self = static_cast<Lv2Plugin*>(data);
        auto it = self->symbols_.find(symbol);
        if (it == self->symbols_.end())
            return;
        UridMap& m = self->uridMap_;
        float v = 0.0f;
        if (type == m.map(LV2_ATOM__Float) && size == sizeof(float))
            std::memcpy(&v, value, sizeof v);
        else if (type == m.map(LV2_ATOM__Double) && size == sizeof(double))
            v = static_cast<float>(*static_cast<const double*>(value));
        else if ((type == m.map(LV2_ATOM__Int) || type == m.map(LV2_ATOM__Bool)) && size == sizeof(int32_t))
            v = static_cast<float>(*static_cast<const int32_t*>(value));
        else if (type == m.map(LV2_ATOM__Long) && size == sizeof(int64_t))
            v = static_cast<float>(*static_cast<const int64_t*>(value));
        else
            return;
        self->controls_[it->second] = v;
    }

    struct Urids {
        LV2_URID position, object, midiEvent, sequence, chunk;
    } urids_{};

    LilvWorld* world_ = nullptr;
    const LilvPlugin* plugin_ = nullptr;
    LilvInstance* instance_ = nullptr;
    bool active_ = false;
    UridMap uridMap_;
    LV2_Atom_Forge forge_{};
    float sampleRate_ = 44100.0f;
    int32_t maxBlock_ = 512;
    std::vector<LV2_Options_Option> options_;
    LV2_Worker_Schedule schedule_{};
    std::vector<LV2_Feature> featureList_;
    std::vector<const LV2_Feature*> features_;
    std::vector<uint64_t> input_, output_; // 8-byte aligned atom buffers
    std::vector<float> controls_;
    std::vector<uint32_t> controlPorts_;
    std::map<std::string, uint32_t> symbols_;
    bool onlyOnChanges_ = false;
    double lastTempo_ = -1.0;
    double nextFrame_ = -1.0;
};

} // namespace

std::unique_ptr<PluginUnderTest> loadLv2(const std::string& bundleParent, const std::string& uri)
{
    return std::make_unique<Lv2Plugin>(bundleParent, uri);
}
