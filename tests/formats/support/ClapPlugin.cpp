#include "support/ClapPlugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

ClapPlugin& self(const clap_host* host)
{
    return *static_cast<ClapPlugin*>(host->host_data);
}

} // namespace

// The host side of the editor and its timer; one timer is all the plug-in asks for.
const void* CLAP_ABI ClapPlugin::hostExtension(const clap_host*, const char* id)
{
    static const clap_host_gui gui = {
        [](const clap_host*) {}, [](const clap_host*, uint32_t, uint32_t) { return true; },
        [](const clap_host*) { return true; }, [](const clap_host*) { return true; }, [](const clap_host*, bool) {}};
    static const clap_host_timer_support timer = {[](const clap_host* h, uint32_t, clap_id* timerId) {
                                                      ClapPlugin& plugin = self(h);
                                                      plugin.timerRegistered_ = true;
                                                      *timerId = plugin.timer_ = 1;
                                                      return true;
                                                  },
                                                  [](const clap_host* h, clap_id) {
                                                      self(h).timerRegistered_ = false;
                                                      return true;
                                                  }};
    if (std::strcmp(id, CLAP_EXT_GUI) == 0)
        return &gui;
    if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0)
        return &timer;
    return nullptr;
}

ClapPlugin::ClapPlugin(const std::string& path)
{
    host_.clap_version = CLAP_VERSION_INIT;
    host_.host_data = this;
    host_.name = "tarvel-test";
    host_.vendor = "tarvel";
    host_.url = "";
    host_.version = "1";
    host_.get_extension = &ClapPlugin::hostExtension;
    host_.request_restart = [](const clap_host*) {};
    host_.request_process = [](const clap_host*) {};
    host_.request_callback = [](const clap_host*) {};

    library_ = openPluginLibrary(path, error);
    if (!library_)
        return;
    entry_ = static_cast<const clap_plugin_entry*>(pluginSymbol(library_, "clap_entry"));
    if (!entry_ || !entry_->init(path.c_str())) {
        error = "no clap_entry, or it refused to initialise";
        entry_ = nullptr;
        return;
    }
    auto* factory = static_cast<const clap_plugin_factory*>(entry_->get_factory(CLAP_PLUGIN_FACTORY_ID));
    if (!factory || factory->get_plugin_count(factory) != 1) {
        error = "no plug-in factory with one plug-in";
        return;
    }
    const clap_plugin_descriptor* descriptor = factory->get_plugin_descriptor(factory, 0);
    plugin_ = factory->create_plugin(factory, &host_, descriptor->id);
    if (!plugin_ || !plugin_->init(plugin_)) {
        error = "the plug-in could not be created";
        plugin_ = nullptr;
        return;
    }
    params_ = static_cast<const clap_plugin_params*>(plugin_->get_extension(plugin_, CLAP_EXT_PARAMS));
    state_ = static_cast<const clap_plugin_state*>(plugin_->get_extension(plugin_, CLAP_EXT_STATE));
    gui_ = static_cast<const clap_plugin_gui*>(plugin_->get_extension(plugin_, CLAP_EXT_GUI));
}

ClapPlugin::~ClapPlugin()
{
    if (plugin_) {
        closeEditor();
        if (active_) {
            plugin_->stop_processing(plugin_);
            plugin_->deactivate(plugin_);
        }
        plugin_->destroy(plugin_);
    }
    if (entry_)
        entry_->deinit();
    if (library_)
        closePluginLibrary(library_);
}

void ClapPlugin::activate(int sampleRate, int maxBlock)
{
    plugin_->activate(plugin_, sampleRate, 1, static_cast<uint32_t>(maxBlock));
    plugin_->start_processing(plugin_);
    active_ = true;
    events_.reserve(1024);
    pointers_.reserve(1024);
    output.reserve(4096);
}

void ClapPlugin::process(const VstEvents* events, const VstTimeInfo& time, float* left, float* right, int frames)
{
    // The list's storage was reserved at activation and is only refilled.
    events_.clear();
    for (const ParamSet& p : pendingParams_) {
        Event e{};
        e.param.header = {sizeof(clap_event_param_value), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
        e.param.param_id = static_cast<clap_id>(p.index);
        e.param.note_id = -1;
        e.param.port_index = -1;
        e.param.channel = -1;
        e.param.key = -1;
        e.param.value = p.value;
        events_.push_back(e);
    }
    pendingParams_.clear();
    for (int i = 0; events && i < events->numEvents; ++i) {
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(events->events[i]);
        if (midi->type != kVstMidiType)
            continue;
        Event e{};
        e.midi.header = {sizeof(clap_event_midi), static_cast<uint32_t>(midi->deltaFrames), CLAP_CORE_EVENT_SPACE_ID,
                         CLAP_EVENT_MIDI, 0};
        e.midi.port_index = 0;
        std::memcpy(e.midi.data, midi->midiData, 3);
        events_.push_back(e);
    }
    pointers_.clear();
    for (Event& e : events_)
        pointers_.push_back(&e.header);

    clap_event_transport transport{};
    transport.header = {sizeof transport, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
    transport.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_HAS_BEATS_TIMELINE | CLAP_TRANSPORT_HAS_TIME_SIGNATURE |
                      CLAP_TRANSPORT_IS_PLAYING;
    transport.song_pos_beats = std::llround(time.ppqPos * static_cast<double>(CLAP_BEATTIME_FACTOR));
    transport.tempo = time.tempo;
    transport.bar_start = std::llround(time.barStartPos * static_cast<double>(CLAP_BEATTIME_FACTOR));
    transport.tsig_num = static_cast<uint16_t>(time.timeSigNumerator);
    transport.tsig_denom = static_cast<uint16_t>(time.timeSigDenominator);

    clap_input_events in{this,
                         [](const clap_input_events* list) {
                             return static_cast<uint32_t>(static_cast<ClapPlugin*>(list->ctx)->pointers_.size());
                         },
                         [](const clap_input_events* list, uint32_t index) {
                             return static_cast<ClapPlugin*>(list->ctx)->pointers_[index];
                         }};
    clap_output_events out{this, [](const clap_output_events* list, const clap_event_header* event) {
                               auto& to = static_cast<ClapPlugin*>(list->ctx)->output;
                               const auto* e = reinterpret_cast<const clap_event_param_value*>(event);
                               if (to.size() == to.capacity())
                                   return false; // never grows on the audio thread
                               if (event->type == CLAP_EVENT_PARAM_VALUE)
                                   to.push_back({OutputEvent::Value, static_cast<int>(e->param_id), e->value});
                               else if (event->type == CLAP_EVENT_PARAM_GESTURE_BEGIN)
                                   to.push_back({OutputEvent::GestureBegin, static_cast<int>(e->param_id), 0.0});
                               else if (event->type == CLAP_EVENT_PARAM_GESTURE_END)
                                   to.push_back({OutputEvent::GestureEnd, static_cast<int>(e->param_id), 0.0});
                               return true;
                           }};
    float* channels[2] = {left, right};
    clap_audio_buffer audio{};
    audio.data32 = channels;
    audio.channel_count = 2;
    clap_process process{};
    process.steady_time = static_cast<int64_t>(time.samplePos);
    process.frames_count = static_cast<uint32_t>(frames);
    process.transport = &transport;
    process.audio_outputs = &audio;
    process.audio_outputs_count = 1;
    process.in_events = &in;
    process.out_events = &out;
    if (audioCallBegins)
        audioCallBegins();
    plugin_->process(plugin_, &process);
    if (audioCallEnds)
        audioCallEnds();
}

void ClapPlugin::setParameter(int index, float value)
{
    pendingParams_.push_back({index, value});
}

float ClapPlugin::parameter(int index)
{
    double value = 0.0;
    params_->get_value(plugin_, static_cast<clap_id>(index), &value);
    return static_cast<float>(value);
}

std::vector<PluginUnderTest::ParameterInfo> ClapPlugin::parameterInfo()
{
    std::vector<ParameterInfo> list;
    for (uint32_t i = 0, n = params_->count(plugin_); i < n; ++i) {
        clap_param_info info{};
        params_->get_info(plugin_, i, &info);
        list.push_back({info.name,
                        info.module,
                        static_cast<float>(info.min_value),
                        static_cast<float>(info.max_value),
                        static_cast<float>(info.default_value),
                        (info.flags & CLAP_PARAM_IS_AUTOMATABLE) != 0,
                        {}});
    }
    return list;
}

std::string ClapPlugin::parameterText(int index, float value)
{
    char text[256] = {};
    params_->value_to_text(plugin_, static_cast<clap_id>(index), value, text, sizeof text);
    return text;
}

std::vector<uint8_t> ClapPlugin::saveState()
{
    std::vector<uint8_t> bytes;
    clap_ostream stream{&bytes, [](const clap_ostream* s, const void* data, uint64_t size) -> int64_t {
                            auto* out = static_cast<std::vector<uint8_t>*>(s->ctx);
                            const auto* p = static_cast<const uint8_t*>(data);
                            out->insert(out->end(), p, p + size);
                            return static_cast<int64_t>(size);
                        }};
    if (!state_->save(plugin_, &stream))
        return {};
    return bytes;
}

bool ClapPlugin::loadState(const std::vector<uint8_t>& state)
{
    struct Reader {
        const std::vector<uint8_t>* data;
        std::size_t at;
    } reader{&state, 0};
    clap_istream stream{&reader, [](const clap_istream* s, void* buffer, uint64_t size) -> int64_t {
                            auto* r = static_cast<Reader*>(s->ctx);
                            const std::size_t n = std::min<std::size_t>(size, r->data->size() - r->at);
                            if (n > 0)
                                std::memcpy(buffer, r->data->data() + r->at, n);
                            r->at += n;
                            return static_cast<int64_t>(n);
                        }};
    return state_->load(plugin_, &stream);
}

std::string ClapPlugin::stateValue(const std::string& key)
{
    return dpfStateValue(saveState(), key);
}

bool ClapPlugin::openEditor(uintptr_t parent)
{
#ifdef _WIN32
    const char* api = CLAP_WINDOW_API_WIN32;
#else
    const char* api = CLAP_WINDOW_API_X11;
#endif
    if (!gui_ || !gui_->is_api_supported(plugin_, api, false) || !gui_->create(plugin_, api, false))
        return false;
    editorOpen_ = true;
    clap_window window{};
    window.api = api;
#ifdef _WIN32
    window.win32 = reinterpret_cast<clap_hwnd>(parent);
#else
    window.x11 = parent;
#endif
    // As hosts do: the parent first, then show.
    if (!gui_->set_parent(plugin_, &window))
        return false;
    return gui_->show(plugin_);
}

void ClapPlugin::idleEditor()
{
    auto* timer =
        static_cast<const clap_plugin_timer_support*>(plugin_->get_extension(plugin_, CLAP_EXT_TIMER_SUPPORT));
    if (timerRegistered_ && timer)
        timer->on_timer(plugin_, timer_);
}

void ClapPlugin::closeEditor()
{
    if (!editorOpen_)
        return;
    gui_->hide(plugin_);
    gui_->destroy(plugin_);
    editorOpen_ = false;
}

std::unique_ptr<PluginUnderTest> loadClap(const std::string& path)
{
    return std::make_unique<ClapPlugin>(path);
}
