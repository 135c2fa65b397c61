#include "InstanceScript.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>

namespace {

int blockSizeFor(int seed)
{
    static const int kBlocks[] = {64, 100, 256, 512, 1000, 1024, 33, 4096};
    return kBlocks[seed % 8];
}

} // namespace

bool startForScript(TestHost& host, int seed)
{
    static const float kRates[] = {44100.0f, 48000.0f, 22050.0f, 96000.0f};
    return host.start(kRates[seed % 4], blockSizeFor(seed)) != nullptr;
}

std::vector<float> playAlone(int seed)
{
    TestHost host;
    if (!startForScript(host, seed))
        return {};
    std::vector<float> audio = playScript(host, seed);
    host.close();
    return audio;
}

std::vector<float> playScript(TestHost& host, int seed)
{
    std::mt19937 rng(static_cast<unsigned>(seed) * 7919u + 17u);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    host.timeInfo.tempo = 90.0 + 13.0 * seed;

    // A sound of its own: every parameter somewhere in range, the effects
    // audible, the LFOs and the delay locked to the tempo on odd seeds.
    const int count = host.effect->numParams;
    for (int i = 0; i < count; ++i)
        host.setParameter(i, unit(rng));
    host.setParameter(2, 0.8f);  // AmpEnvSustain
    host.setParameter(30, 0.6f); // AmplifierGain
    host.setParameter(27, 0.5f + 0.5f * unit(rng));
    for (int i : {10, 14, 53})
        host.setParameter(i, seed % 2 ? 1.0f : 0.0f);

    const int block = blockSizeFor(seed);
    const int frames = static_cast<int>(host.timeInfo.sampleRate * 1.5);
    std::vector<float> audio;
    audio.reserve(static_cast<std::size_t>(frames));
    std::vector<float> left, right;
    std::vector<int> held;
    for (int done = 0; done < frames; done += block) {
        if (rng() % 4 == 0) {
            const int note = 36 + static_cast<int>(rng() % 48);
            host.noteOn(note, 40 + static_cast<int>(rng() % 80), static_cast<int>(rng() % 16));
            held.push_back(note);
        }
        if (held.size() > 4 || (!held.empty() && rng() % 6 == 0)) {
            host.noteOff(held.front());
            held.erase(held.begin());
        }
        if (done >= frames / 2 && done < frames / 2 + block) {
            // Save the program and load it back while notes sound.
            void* data = nullptr;
            const VstIntPtr size = host.dispatch(effGetChunk, 1, 0, &data);
            std::vector<uint8_t> chunk(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
            host.setParameter(27, 0.0f);
            host.dispatch(effSetChunk, 1, size, chunk.data());
        }
        host.process(std::min(block, frames - done), left, right);
        audio.insert(audio.end(), left.begin(), left.end());
    }
    return audio;
}

void runTogether(int count, const std::function<void(int)>& job)
{
    std::mutex mutex;
    std::condition_variable go;
    bool released = false;
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            {
                std::unique_lock<std::mutex> lock(mutex);
                go.wait(lock, [&] { return released; });
            }
            job(i);
        });
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
    }
    go.notify_all();
    for (auto& t : threads)
        t.join();
}
