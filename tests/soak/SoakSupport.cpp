#include "SoakSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>

double environmentNumber(const char* name, double fallback)
{
    const char* text = std::getenv(name);
    if (text == nullptr || *text == 0)
        return fallback;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    return (end != text && std::isfinite(value)) ? value : fallback;
}

VstTimeInfo steadyTransport(double sampleRate)
{
    VstTimeInfo time{};
    time.sampleRate = sampleRate;
    time.tempo = 120.0;
    time.timeSigNumerator = 4;
    time.timeSigDenominator = 4;
    time.flags = kVstPpqPosValid | kVstTempoValid | kVstTransportPlaying;
    return time;
}

void scrambleTransport(VstTimeInfo& time, std::mt19937& rng)
{
    static const double kTempos[] = {0.0,
                                     -0.0,
                                     -120.0,
                                     1e-30,
                                     1e9,
                                     1e30,
                                     1e300,
                                     std::numeric_limits<double>::infinity(),
                                     std::numeric_limits<double>::quiet_NaN(),
                                     999.0,
                                     20.0,
                                     120.0};
    static const double kPositions[] = {-1.0,
                                        -0.25,
                                        -1e6,
                                        -1e15,
                                        -1e300,
                                        1e7,
                                        1e15,
                                        1e300,
                                        std::numeric_limits<double>::max(),
                                        -std::numeric_limits<double>::infinity(),
                                        std::numeric_limits<double>::quiet_NaN(),
                                        0.0,
                                        3.75};
    const int count = sizeof kTempos / sizeof kTempos[0];
    const int positions = sizeof kPositions / sizeof kPositions[0];
    switch (rng() % 5) {
    case 0:
        time.tempo = kTempos[rng() % static_cast<unsigned>(count)];
        break;
    case 1:
        time.ppqPos = kPositions[rng() % static_cast<unsigned>(positions)];
        break;
    case 2:
        time.samplePos = kPositions[rng() % static_cast<unsigned>(positions)];
        time.barStartPos = kPositions[rng() % static_cast<unsigned>(positions)];
        break;
    case 3:
        time.flags = static_cast<VstInt32>(rng());
        break;
    default: {
        // Back to something sane, so the sound is heard between the jumps.
        const double rate = time.sampleRate;
        time = steadyTransport(rate);
        time.tempo = std::uniform_real_distribution<double>(20.0, 300.0)(rng);
        time.ppqPos = std::uniform_real_distribution<double>(0.0, 1000.0)(rng);
        break;
    }
    }
}

void mangleChunk(std::vector<uint8_t>& chunk, std::mt19937& rng)
{
    auto putBE = [&chunk](std::size_t at, uint32_t v) {
        if (at + 4 <= chunk.size())
            for (int b = 0; b < 4; ++b)
                chunk[at + static_cast<std::size_t>(b)] = static_cast<uint8_t>(v >> (24 - 8 * b));
    };
    switch (rng() % 7) {
    case 0: // whole
        break;
    case 1: // truncated anywhere, down to nothing
        chunk.resize(chunk.empty() ? 0 : rng() % chunk.size());
        break;
    case 2: { // random bytes, sometimes behind a real magic
        const std::size_t size = rng() % 4096;
        chunk.resize(size);
        for (uint8_t& b : chunk)
            b = static_cast<uint8_t>(rng());
        if (size >= 4 && rng() % 2)
            std::memcpy(chunk.data(), rng() % 2 ? "vqps" : "vqbk", 4);
        break;
    }
    case 3: // flipped bytes
        for (int k = 0; k < 8 && !chunk.empty(); ++k)
            chunk[rng() % chunk.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        break;
    case 4: { // non-finite and absurd values at the value fields of entries
        static const uint32_t kBits[] = {0x7FC00000u, 0xFFC00000u, 0x7F800000u, 0xFF800000u, 0xF149F2CAu /* -1e30 */,
                                         0x7149F2CAu /* 1e30 */};
        std::size_t at = std::string(reinterpret_cast<const char*>(chunk.data()), 4) == "vqbk" ? 12 : 0;
        at += 44;
        while (at + 12 <= chunk.size()) {
            const uint32_t nameLength = (uint32_t(chunk[at]) << 24) | (uint32_t(chunk[at + 1]) << 16) |
                                        (uint32_t(chunk[at + 2]) << 8) | uint32_t(chunk[at + 3]);
            const uint32_t points = (uint32_t(chunk[at + 4]) << 24) | (uint32_t(chunk[at + 5]) << 16) |
                                    (uint32_t(chunk[at + 6]) << 8) | uint32_t(chunk[at + 7]);
            if (rng() % 3 == 0) {
                const uint32_t bits = kBits[rng() % 6];
                for (int b = 0; b < 4; ++b)
                    chunk[at + 8 + static_cast<std::size_t>(b)] = static_cast<uint8_t>(bits >> (8 * b));
            }
            const uint64_t next = at + 12 + uint64_t(nameLength) + 8 * uint64_t(points);
            if (nameLength > 64 || next > chunk.size())
                break;
            at = static_cast<std::size_t>(next);
        }
        break;
    }
    case 5: // absurd counts and lengths
        putBE(8, rng() % 2 ? 0xFFFFFFFFu : 0x7FFFFFFFu);
        putBE(44 + (rng() % 2) * 4, 0xFFFFFFF0u);
        putBE(12 + 8, static_cast<uint32_t>(rng()));
        break;
    default: // a bank where a program is expected and the other way round
        if (chunk.size() > 12 && rng() % 2)
            chunk.erase(chunk.begin(), chunk.begin() + 12);
        else
            chunk.insert(chunk.begin(), {'v', 'q', 'b', 'k', 0, 0, 0, 1, 0, 0, 0, 0x21});
        break;
    }
}

namespace {

// Fills the host's string buffer with a pattern, lets the plug-in write its
// answer and checks that it stayed within `room` bytes and terminated it.
bool stringAnswerFits(TestHost& host, VstInt32 opcode, VstInt32 index, VstIntPtr value, std::size_t room,
                      std::string& text)
{
    char buffer[512];
    std::memset(buffer, 0, room);
    std::memset(buffer + room, 0x5A, sizeof buffer - room);
    host.dispatch(opcode, index, value, buffer);
    for (std::size_t i = room; i < sizeof buffer; ++i)
        if (buffer[i] != 0x5A)
            return false;
    if (std::memchr(buffer, 0, room) == nullptr)
        return false;
    text = buffer;
    return true;
}

} // namespace

const char* answersQueries(TestHost& host, std::mt19937& rng, int parameterCount)
{
    // Answers that never change: compared with the first ones seen.
    static thread_local std::map<int, VstIntPtr> firstAnswers;
    auto steady = [&](VstInt32 opcode, VstIntPtr answer) {
        auto found = firstAnswers.emplace(opcode, answer);
        return found.first->second == answer;
    };
    if (!(host.dispatch(effGetVstVersion) == 2400))
        return "host.dispatch(effGetVstVersion) == 2400";
    if (!(steady(effGetPlugCategory, host.dispatch(effGetPlugCategory))))
        return "steady(effGetPlugCategory, host.dispatch(effGetPlugCategory))";
    if (!(steady(effGetVendorVersion, host.dispatch(effGetVendorVersion))))
        return "steady(effGetVendorVersion, host.dispatch(effGetVendorVersion))";
    if (!(steady(effGetTailSize, host.dispatch(effGetTailSize))))
        return "steady(effGetTailSize, host.dispatch(effGetTailSize))";
    char midi[] = "receiveVstMidiEvent";
    char events[] = "receiveVstEvents";
    char unknown[] = "sendVstTimeInfoTwice";
    if (!(host.dispatch(effCanDo, 0, 0, midi) == 1))
        return "host.dispatch(effCanDo, 0, 0, midi) == 1";
    if (!(host.dispatch(effCanDo, 0, 0, events) == 1))
        return "host.dispatch(effCanDo, 0, 0, events) == 1";
    if (!(host.dispatch(effCanDo, 0, 0, unknown) != 1))
        return "host.dispatch(effCanDo, 0, 0, unknown) != 1";

    std::string text;
    const int valid = static_cast<int>(rng() % static_cast<unsigned>(parameterCount));
    if (!(stringAnswerFits(host, effGetParamName, valid, 0, kVstMaxParamStrLen + 1, text) && !text.empty()))
        return "stringAnswerFits(host, effGetParamName, valid, 0, kVstMaxParamStrLen + 1, text) && !text.empty()";
    if (!(stringAnswerFits(host, effGetParamDisplay, valid, 0, kVstMaxParamStrLen + 1, text)))
        return "stringAnswerFits(host, effGetParamDisplay, valid, 0, kVstMaxParamStrLen + 1, text)";
    if (!(stringAnswerFits(host, effGetParamLabel, valid, 0, kVstMaxParamStrLen + 1, text)))
        return "stringAnswerFits(host, effGetParamLabel, valid, 0, kVstMaxParamStrLen + 1, text)";
    static const int kOutside[] = {-1, 56, 1000, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()};
    const int outside = kOutside[rng() % 5];
    if (!(stringAnswerFits(host, effGetParamName, outside, 0, kVstMaxParamStrLen + 1, text)))
        return "stringAnswerFits(host, effGetParamName, outside, 0, kVstMaxParamStrLen + 1, text)";
    if (!(stringAnswerFits(host, effGetParamDisplay, outside, 0, kVstMaxParamStrLen + 1, text)))
        return "stringAnswerFits(host, effGetParamDisplay, outside, 0, kVstMaxParamStrLen + 1, text)";
    if (!(stringAnswerFits(host, effGetParamLabel, outside, 0, kVstMaxParamStrLen + 1, text)))
        return "stringAnswerFits(host, effGetParamLabel, outside, 0, kVstMaxParamStrLen + 1, text)";
    (void)host.dispatch(effCanBeAutomated, outside);
    (void)host.getParameter(outside);

    if (!(stringAnswerFits(host, effGetProgramName, 0, 0, kVstMaxProgNameLen + 1, text)))
        return "stringAnswerFits(host, effGetProgramName, 0, 0, kVstMaxProgNameLen + 1, text)";
    const int program = static_cast<int>(rng() % 40) - 4;
    if (!(stringAnswerFits(host, effGetProgramNameIndexed, program, 0, kVstMaxProgNameLen + 1, text)))
        return "stringAnswerFits(host, effGetProgramNameIndexed, program, 0, kVstMaxProgNameLen + 1, text)";
    if (!(stringAnswerFits(host, effGetProgramNameIndexed, program, -1, kVstMaxProgNameLen + 1, text)))
        return "stringAnswerFits(host, effGetProgramNameIndexed, program, -1, kVstMaxProgNameLen + 1, text)";
    if (!(stringAnswerFits(host, effGetEffectName, 0, 0, kVstMaxEffectNameLen + 1, text)))
        return "stringAnswerFits(host, effGetEffectName, 0, 0, kVstMaxEffectNameLen + 1, text)";
    if (!(stringAnswerFits(host, effGetVendorString, 0, 0, kVstMaxVendorStrLen + 1, text)))
        return "stringAnswerFits(host, effGetVendorString, 0, 0, kVstMaxVendorStrLen + 1, text)";
    if (!(stringAnswerFits(host, effGetProductString, 0, 0, kVstMaxProductStrLen + 1, text)))
        return "stringAnswerFits(host, effGetProductString, 0, 0, kVstMaxProductStrLen + 1, text)";
    return nullptr;
}

HostileMidi::HostileMidi(unsigned seed) : rng_(seed)
{
    midiEvents_.reserve(256);
    sysexEvents_.reserve(16);
    otherEvents_.reserve(16);
    sysex_.resize(4096);
}

void HostileMidi::midi(uint8_t status, uint8_t data1, uint8_t data2)
{
    if (midiEvents_.size() == midiEvents_.capacity())
        return;
    VstMidiEvent e{};
    e.type = kVstMidiType;
    e.byteSize = sizeof e;
    static const VstInt32 kDeltas[] = {0, 1, 511, -1, -100000, 1 << 30};
    e.deltaFrames = kDeltas[rng_() % 6];
    e.midiData[0] = static_cast<char>(status);
    e.midiData[1] = static_cast<char>(data1);
    e.midiData[2] = static_cast<char>(data2);
    e.midiData[3] = static_cast<char>(rng_());
    midiEvents_.push_back(e);
}

int HostileMidi::deliver(TestHost& host)
{
    midiEvents_.clear();
    sysexEvents_.clear();
    otherEvents_.clear();
    const int bursts = static_cast<int>(rng_() % 6);
    for (int b = 0; b < bursts; ++b) {
        const uint8_t channel = static_cast<uint8_t>(rng_() % 16);
        switch (rng_() % 10) {
        case 0:
        case 1: { // running notes on any channel, held for a while
            const uint8_t note = static_cast<uint8_t>(rng_() % 128);
            midi(static_cast<uint8_t>(0x90 | channel), note, static_cast<uint8_t>(1 + rng_() % 127));
            if (sounding_.size() < 200)
                sounding_.emplace_back(channel, note);
            break;
        }
        case 2: // release some of the running notes
            if (!sounding_.empty()) {
                const std::size_t i = rng_() % sounding_.size();
                midi(static_cast<uint8_t>(rng_() % 2 ? 0x80 | sounding_[i].first : 0x90 | sounding_[i].first),
                     sounding_[i].second, rng_() % 2 ? 0 : 64);
                sounding_.erase(sounding_.begin() + static_cast<std::ptrdiff_t>(i));
            }
            break;
        case 3: // note-offs of notes that were never played
            for (int k = 0; k < 8; ++k)
                midi(static_cast<uint8_t>(0x80 | (rng_() % 16)), static_cast<uint8_t>(rng_() % 128),
                     static_cast<uint8_t>(rng_() % 128));
            break;
        case 4: { // a controller storm, now and then with all-notes-off
            const int count = 16 + static_cast<int>(rng_() % 64);
            for (int k = 0; k < count; ++k) {
                uint8_t number = static_cast<uint8_t>(rng_() % 128);
                if (rng_() % 40 == 0)
                    number = rng_() % 2 ? 123 : 126;
                midi(static_cast<uint8_t>(0xB0 | (rng_() % 16)), number, static_cast<uint8_t>(rng_() % 128));
            }
            break;
        }
        case 5: { // pitch bend, pressure, program change, aftertouch
            static const uint8_t kStatus[] = {0xA0, 0xC0, 0xD0, 0xE0};
            midi(static_cast<uint8_t>(kStatus[rng_() % 4] | channel), static_cast<uint8_t>(rng_() % 128),
                 static_cast<uint8_t>(rng_() % 128));
            break;
        }
        case 6: { // SysEx, of any length
            VstMidiSysexEvent e{};
            e.type = kVstSysExType;
            e.byteSize = sizeof e;
            e.dumpBytes = static_cast<VstInt32>(rng_() % sysex_.size());
            for (VstInt32 i = 0; i < e.dumpBytes; ++i)
                sysex_[static_cast<std::size_t>(i)] = static_cast<char>(rng_() % 128);
            if (e.dumpBytes > 0) {
                sysex_[0] = static_cast<char>(0xF0);
                sysex_[static_cast<std::size_t>(e.dumpBytes - 1)] = static_cast<char>(0xF7);
            }
            e.sysexDump = sysex_.data();
            if (sysexEvents_.size() < sysexEvents_.capacity())
                sysexEvents_.push_back(e);
            break;
        }
        case 7: // system messages and raw garbage in a MIDI event
            midi(static_cast<uint8_t>(0xF0 | (rng_() % 16)), static_cast<uint8_t>(rng_()),
                 static_cast<uint8_t>(rng_()));
            midi(static_cast<uint8_t>(rng_()), static_cast<uint8_t>(rng_()), static_cast<uint8_t>(rng_()));
            break;
        case 8: { // an event type the plug-in does not know
            VstEvent e{};
            e.type = static_cast<VstInt32>(rng_() % 2 ? 0 : 2 + rng_() % 100);
            e.byteSize = static_cast<VstInt32>(rng_() % 64);
            for (char& c : e.data)
                c = static_cast<char>(rng_());
            if (otherEvents_.size() < otherEvents_.capacity())
                otherEvents_.push_back(e);
            break;
        }
        default: // a chord on every channel at once
            for (uint8_t c = 0; c < 16; ++c) {
                const uint8_t note = static_cast<uint8_t>(24 + rng_() % 80);
                midi(static_cast<uint8_t>(0x90 | c), note, static_cast<uint8_t>(1 + rng_() % 127));
                if (sounding_.size() < 200)
                    sounding_.emplace_back(c, note);
            }
            break;
        }
    }

    list_.clear();
    for (auto& e : midiEvents_)
        list_.push_back(reinterpret_cast<VstEvent*>(&e));
    for (auto& e : sysexEvents_)
        list_.push_back(reinterpret_cast<VstEvent*>(&e));
    for (auto& e : otherEvents_)
        list_.push_back(&e);
    std::shuffle(list_.begin(), list_.end(), rng_);

    listStorage_.assign(sizeof(VstEvents) + sizeof(VstEvent*) * (list_.size() + 2), 0);
    auto* events = reinterpret_cast<VstEvents*>(listStorage_.data());
    events->numEvents = static_cast<VstInt32>(list_.size());
    for (std::size_t i = 0; i < list_.size(); ++i)
        events->events[i] = list_[i];
    host.dispatch(effProcessEvents, 0, 0, events);
    return static_cast<int>(list_.size());
}

void expectChunkRoundTrip(TestHost& host, bool isPreset)
{
    void* data = nullptr;
    const VstIntPtr size = host.dispatch(effGetChunk, isPreset ? 1 : 0, 0, &data);
    ASSERT_GT(size, 0);
    ASSERT_NE(data, nullptr);
    const std::vector<uint8_t> saved(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);

    TestHost fresh;
    ASSERT_NE(fresh.start(), nullptr) << fresh.error;
    std::vector<uint8_t> copy = saved;
    fresh.dispatch(effSetChunk, isPreset ? 1 : 0, static_cast<VstIntPtr>(copy.size()), copy.data());
    void* again = nullptr;
    const VstIntPtr againSize = fresh.dispatch(effGetChunk, isPreset ? 1 : 0, 0, &again);
    ASSERT_EQ(againSize, size) << (isPreset ? "program" : "bank") << " chunk changed size on reload";
    EXPECT_EQ(std::memcmp(again, saved.data(), saved.size()), 0)
        << (isPreset ? "program" : "bank") << " chunk changed on reload";
    fresh.close();
}

std::vector<float> defaultValues()
{
    TestHost fresh;
    std::vector<float> values;
    if (fresh.start() == nullptr)
        return values;
    for (int i = 0; i < fresh.effect->numParams; ++i)
        values.push_back(fresh.getParameter(i));
    fresh.close();
    return values;
}

std::vector<float> renderSeconds(TestHost& host, double seconds, int block)
{
    return host.render(static_cast<int>(seconds * host.timeInfo.sampleRate), block);
}

Level measure(const std::vector<float>& samples)
{
    Level level;
    for (float s : samples) {
        if (!std::isfinite(s))
            ++level.nonFinite;
        else
            level.peak = std::max(level.peak, std::fabs(s));
    }
    return level;
}

namespace {

void holdChord(TestHost& host)
{
    host.sendMidi({{0xB0, 123, 0}});
    host.render(64, 64);
    host.sendMidi({{0x90, 48, 100}, {0x91, 55, 100}, {0x92, 60, 100}, {0x9F, 64, 100}});
}

} // namespace

void expectRecoversAfterDefaults(TestHost& host, bool throughChunk)
{
    host.dispatch(effMainsChanged, 0, 0);
    host.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    host.dispatch(effSetBlockSize, 0, 512);
    host.dispatch(effMainsChanged, 0, 1);
    host.timeInfo = steadyTransport(44100.0);
    holdChord(host);

    const std::vector<float> defaults = defaultValues();
    ASSERT_EQ(static_cast<int>(defaults.size()), host.effect->numParams);
    if (throughChunk) {
        TestHost fresh;
        ASSERT_NE(fresh.start(), nullptr) << fresh.error;
        void* data = nullptr;
        const VstIntPtr size = fresh.dispatch(effGetChunk, 0, 0, &data);
        std::vector<uint8_t> bank(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
        fresh.close();
        host.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bank.size()), bank.data());
    } else {
        // Poison every index once more while the notes sound, then restore.
        for (float poison : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(), 1e30f, -1e30f}) {
            for (int i = 0; i < host.effect->numParams; ++i)
                host.setParameter(i, poison);
            host.render(2048, 256);
        }
        for (int i = 0; i < host.effect->numParams; ++i)
            host.setParameter(i, defaults[static_cast<std::size_t>(i)]);
    }
    for (int i = 0; i < host.effect->numParams; ++i)
        ASSERT_EQ(host.getParameter(i), defaults[static_cast<std::size_t>(i)]) << "index " << i;

    holdChord(host);
    renderSeconds(host, 1.0);
    const Level level = measure(renderSeconds(host, 1.0));
    EXPECT_EQ(level.nonFinite, 0) << "still not finite a second after the values came back"
                                  << (throughChunk ? " (chunk)" : " (setParameter)");
    EXPECT_GT(level.peak, 1e-3f) << "silent a second after the values came back";
}
