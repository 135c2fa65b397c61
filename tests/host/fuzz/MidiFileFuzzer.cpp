// libFuzzer entry for the MIDI file reader: any bytes must either parse or
// raise HostError, and a parsed song must schedule without faults.

#include "host/HostError.h"
#include "host/MidiFile.h"
#include "host/Schedule.h"
#include "host/TempoMap.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        TarvelHost::MidiFile song = TarvelHost::MidiFile::parse(data, size);
        TarvelHost::TempoMap tempo(song, 44100);
        TarvelHost::Schedule schedule(song, tempo);
        (void)schedule.maxEventsPerBlock(64);
        (void)tempo.timeInfo(schedule.endFrame(), true);
    } catch (const TarvelHost::HostError&) {
    }
    return 0;
}
