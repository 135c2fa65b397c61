#include "host/MidiFile.h"
#include "host/HostError.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace TarvelHost {

namespace {

// Files larger than this are not songs; refusing them keeps a stray path to
// a disk image from being read into memory.
constexpr std::size_t kMaxFileSize = 256u * 1024u * 1024u;

[[noreturn]] void fail(const char* what, std::size_t offset)
{
    throw HostError(std::string("malformed MIDI file: ") + what + " at byte offset " + std::to_string(offset));
}

class Reader {
public:
    Reader(const uint8_t* data, std::size_t size, std::size_t pos, std::size_t end)
        : data_(data), size_(size), pos_(pos), end_(end)
    {
    }

    std::size_t pos() const { return pos_; }
    bool atEnd() const { return pos_ >= end_; }

    uint8_t byte(const char* what)
    {
        need(1, what);
        return data_[pos_++];
    }
    uint8_t peek(const char* what)
    {
        need(1, what);
        return data_[pos_];
    }
    uint32_t be(int bytes, const char* what)
    {
        need(static_cast<std::size_t>(bytes), what);
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v = (v << 8) | data_[pos_++];
        return v;
    }
    // Variable-length quantity: at most four bytes, seven bits each.
    uint32_t vlq(const char* what)
    {
        std::size_t start = pos_;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b = byte(what);
            v = (v << 7) | (b & 0x7F);
            if ((b & 0x80) == 0)
                return v;
        }
        fail("variable-length number longer than four bytes", start);
    }
    const uint8_t* take(std::size_t count, const char* what)
    {
        need(count, what);
        const uint8_t* p = data_ + pos_;
        pos_ += count;
        return p;
    }

private:
    void need(std::size_t count, const char* what)
    {
        if (count > end_ - std::min(pos_, end_)) {
            // Past the chunk but inside the file means the chunk's length is
            // wrong; past the file means the file was cut short.
            if (end_ < size_)
                fail((std::string(what) + " runs past the end of its track chunk").c_str(), pos_);
            fail((std::string("file truncated in ") + what).c_str(), pos_);
        }
    }

    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_;
    std::size_t end_;
};

int channelDataLength(uint8_t status)
{
    uint8_t high = status & 0xF0;
    return (high == 0xC0 || high == 0xD0) ? 1 : 2;
}

// A meta event, its type byte read: the tempo and time signature it may
// carry go into the song's maps.
void readMeta(MidiFile& song, Reader& r, MidiEvent& ev, std::size_t eventStart)
{
    ev.kind = MidiEvent::Meta;
    ev.metaType = r.byte("meta event type");
    uint32_t len = r.vlq("meta event length");
    const uint8_t* payload = r.take(len, "meta event");
    ev.data.assign(payload, payload + len);
    if (ev.metaType == 0x51) {
        if (len != 3)
            fail("tempo event with a length other than 3", eventStart);
        uint32_t us = (uint32_t(payload[0]) << 16) | (uint32_t(payload[1]) << 8) | payload[2];
        if (us == 0)
            fail("tempo event of zero microseconds per quarter note", eventStart);
        song.tempoChanges.push_back({ev.tick, us});
    } else if (ev.metaType == 0x58) {
        if (len < 2)
            fail("time signature event shorter than 2 bytes", eventStart);
        if (payload[0] == 0 || payload[1] > 6)
            fail("time signature out of range", eventStart);
        song.timeSignatures.push_back({ev.tick, payload[0], 1 << payload[1]});
    }
}

// A SysEx event whose first byte (F0 or F7) was read.
void readSysEx(Reader& r, MidiEvent& ev, uint8_t first)
{
    ev.kind = MidiEvent::SysEx;
    uint32_t len = r.vlq("SysEx length");
    const uint8_t* payload = r.take(len, "SysEx event");
    // An F0 event's dump starts with the F0 the file format leaves out;
    // an F7 packet is sent as it stands.
    std::size_t lead = first == 0xF0 ? 1 : 0;
    ev.data.resize(lead + len);
    if (lead)
        ev.data[0] = 0xF0;
    if (len > 0)
        std::memcpy(ev.data.data() + lead, payload, len);
}

// A channel message whose first byte was read: its status, or under running
// status its first data byte.
void readChannel(Reader& r, MidiEvent& ev, uint8_t first, uint8_t& running, std::size_t eventStart)
{
    uint8_t status;
    if (first & 0x80) {
        if (first > 0xEF)
            fail("system message that is not allowed in a MIDI file", eventStart);
        status = first;
        running = status;
    } else {
        // Running status: the byte just read is the first data byte. The
        // status survives meta and SysEx events in between, as many
        // writers expect, although the file format says they cancel it.
        if (running == 0)
            fail("data byte without a preceding status byte", eventStart);
        status = running;
    }
    ev.kind = MidiEvent::Channel;
    ev.data.push_back(status);
    int length = channelDataLength(status);
    if (!(first & 0x80))
        ev.data.push_back(first);
    while (static_cast<int>(ev.data.size()) < 1 + length) {
        std::size_t at = r.pos();
        uint8_t b = r.byte("channel message");
        if (b & 0x80)
            fail("status byte where a data byte was expected", at);
        ev.data.push_back(b);
    }
}

// Reads the events of one track chunk into the song; returns whether the
// track's end-of-track event was reached (anything after it is ignored).
bool readTrack(MidiFile& song, const uint8_t* data, std::size_t size, std::size_t begin, std::size_t end, int track)
{
    Reader r(data, size, begin, end);
    int64_t tick = 0;
    uint8_t running = 0;
    int order = 0;
    while (!r.atEnd()) {
        tick += r.vlq("delta time");
        std::size_t eventStart = r.pos();
        uint8_t first = r.byte("event");
        MidiEvent ev;
        ev.tick = tick;
        ev.track = track;
        ev.order = order++;
        if (first == 0xFF)
            readMeta(song, r, ev, eventStart);
        else if (first == 0xF0 || first == 0xF7)
            readSysEx(r, ev, first);
        else
            readChannel(r, ev, first, running, eventStart);
        song.lengthTicks = std::max(song.lengthTicks, tick);
        const bool endOfTrack = ev.kind == MidiEvent::Meta && ev.metaType == 0x2F;
        song.events.push_back(std::move(ev));
        if (endOfTrack)
            return true;
    }
    return false;
}

} // namespace

MidiFile MidiFile::parse(const uint8_t* data, std::size_t size)
{
    MidiFile song;
    Reader header(data, size, 0, size);
    if (size < 4 || std::memcmp(data, "MThd", 4) != 0)
        fail("no \"MThd\" header (not a Standard MIDI File)", 0);
    header.take(4, "header");
    uint32_t headerLength = header.be(4, "header length");
    if (headerLength < 6)
        fail("header chunk shorter than 6 bytes", 4);
    song.format = static_cast<int>(header.be(2, "header"));
    song.trackCount = static_cast<int>(header.be(2, "header"));
    uint16_t division = static_cast<uint16_t>(header.be(2, "header"));
    if (song.format > 1)
        fail(("unsupported format " + std::to_string(song.format) + " (only 0 and 1 are played)").c_str(), 8);
    if (song.trackCount == 0)
        fail("header announces no tracks", 10);
    if (division & 0x8000) {
        int fps = -static_cast<int>(static_cast<int8_t>(division >> 8));
        int perFrame = division & 0xFF;
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || perFrame == 0)
            fail("invalid SMPTE time division", 12);
        song.ticksPerSecond = (fps == 29 ? 29.97 : fps) * perFrame;
    } else {
        if (division == 0)
            fail("time division of zero ticks per quarter note", 12);
        song.ticksPerQuarter = division;
    }
    if (headerLength > size - 8)
        fail("file truncated in header", size);

    std::size_t pos = 8 + std::size_t(headerLength);
    int track = 0;
    while (track < song.trackCount) {
        if (pos >= size)
            fail(("file truncated: " + std::to_string(song.trackCount) + " tracks announced, " + std::to_string(track) +
                  " found")
                     .c_str(),
                 pos);
        if (size - pos < 8)
            fail("file truncated in chunk header", pos);
        uint32_t length = (uint32_t(data[pos + 4]) << 24) | (uint32_t(data[pos + 5]) << 16) |
                          (uint32_t(data[pos + 6]) << 8) | data[pos + 7];
        bool isTrack = std::memcmp(data + pos, "MTrk", 4) == 0;
        std::size_t begin = pos + 8;
        if (length > size - begin) {
            if (!isTrack)
                fail("file truncated in an unknown chunk", pos);
            // Read what there is: a cut-off file fails where its data ends. A
            // complete last track with an overstated length is still played.
            if (readTrack(song, data, size, begin, size, track++) && track == song.trackCount)
                break;
            fail(("file truncated: the track chunk announces " + std::to_string(length) + " bytes").c_str(), size);
        }
        if (isTrack)
            readTrack(song, data, size, begin, begin + length, track++);
        // Chunks of other types are skipped, as the file format asks readers to.
        pos = begin + length;
    }

    std::stable_sort(song.events.begin(), song.events.end(), [](const MidiEvent& a, const MidiEvent& b) {
        if (a.tick != b.tick)
            return a.tick < b.tick;
        if (a.track != b.track)
            return a.track < b.track;
        return a.order < b.order;
    });
    std::stable_sort(song.tempoChanges.begin(), song.tempoChanges.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    std::stable_sort(song.timeSignatures.begin(), song.timeSignatures.end(),
                     [](const TimeSignature& a, const TimeSignature& b) { return a.tick < b.tick; });
    return song;
}

MidiFile MidiFile::load(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        throw HostError("cannot open MIDI file " + path + ": " + std::strerror(errno));
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
        if (bytes.size() > kMaxFileSize) {
            std::fclose(f);
            throw HostError("MIDI file " + path + " is too large to be a song");
        }
    }
    bool error = std::ferror(f) != 0;
    int why = errno;
    std::fclose(f);
    if (error)
        throw HostError("cannot read MIDI file " + path + ": " + std::strerror(why));
    try {
        return parse(bytes.data(), bytes.size());
    } catch (const HostError& e) {
        throw HostError(path + ": " + e.what());
    }
}

} // namespace TarvelHost
