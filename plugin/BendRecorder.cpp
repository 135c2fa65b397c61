#include "plugin/BendRecorder.h"

#include <algorithm>

void BendRecorder::record(int index, float value)
{
    ProgramStore::Lock held;
    if (std::this_thread::get_id() == audioThread_.load(std::memory_order_relaxed)) {
        // A host automating on its audio thread must not wait for the editor:
        // if another writer holds the store this instant, the point is lost.
        held = store_.tryLock();
        if (!held.owns_lock())
            return;
    } else {
        held = store_.lock();
    }
    // A gesture's audition note reaches the audio thread at its next block,
    // and when no key is held its note-on restarts the clock there: until
    // then the motion is at the start of the note. Whatever else the threads
    // do meanwhile (a key released before the note lands, voices falling
    // silent), a point is never stamped before the one recorded last.
    float time = audition_.pending() && heldNotes_.empty() ? 0.0f : clock_.load(std::memory_order_relaxed);
    const BendList::View recorded = store_.current().param(index).bend.view();
    if (recorded.count > 0)
        time = std::max(time, recorded.at(recorded.count - 1).time);
    store_.appendBendPoint(index, BendPoint{time, value}, held);
}

void BendRecorder::beginGesture(int index)
{
    const ProgramStore::Lock held = store_.lock();
    store_.clearBend(index);
    // The audition note starts on the audio thread at its next block; the
    // points recorded before then are stamped accordingly (record()).
    if (armed_.load() &&
        gestureNotes_.push({static_cast<uint8_t>(auditionNote_.load()), static_cast<uint8_t>(kAuditionVelocity)}))
        audition_.queue();
}

void BendRecorder::endGesture()
{
    const ProgramStore::Lock held = store_.lock();
    if (armed_.load()) {
        gestureNotes_.push({static_cast<uint8_t>(auditionNote_.load()), 0});
        armed_.store(false);
    }
}

void BendRecorder::noteStarting(int note)
{
    if (!armed_.load())
        auditionNote_.store(static_cast<uint8_t>(note));
    if (heldNotes_.empty())
        restart();
    heldNotes_.insert(note);
}

void BendRecorder::noteReleased(int note)
{
    heldNotes_.erase(note);
    audition_.noteReleased(note);
}

void BendRecorder::restart()
{
    clock_.store(0.0f, std::memory_order_relaxed);
    // Runs on nearly every first note, when the cursors are nearly always
    // at 0 already: a store only where one moved.
    Program& program = store_.current();
    for (int i = 0; i < program.paramCount; ++i) {
        std::atomic<int>& cursor = program.param(i).cursor;
        if (cursor.load(std::memory_order_relaxed) != 0)
            cursor.store(0, std::memory_order_relaxed);
    }
}

void BendRecorder::refreshLiveValues(float* const* live, int count, int active, float dt)
{
    Program& program = store_.current();
    const float clock = clock_.load(std::memory_order_relaxed);
    count = std::min(program.paramCount, count);
    // In a local: the stores below could be to anything as far as the
    // compiler knows, and it would reload the array's address after each.
    ProgramParam* const entries = program.params.get();
    for (int i = 0; i < count; ++i) {
        ProgramParam& entry = entries[i];
        float* target = live[i];
        // While nothing sounds every value comes from the program; the bend
        // is not even looked at.
        const BendList::View bend = active > 0 ? entry.bend.view() : BendList::View{nullptr, 0};
        if (bend.count > 0) {
            const int cursor = entry.cursor.load(std::memory_order_relaxed);
            if (cursor >= 0 && cursor + 1 < bend.count && clock + dt > bend.at(cursor + 1).time) {
                float value = bend.at(cursor).value;
                __atomic_store(target, &value, __ATOMIC_RELAXED);
                entry.cursor.store(cursor + 1, std::memory_order_relaxed);
            }
        } else {
            float value = entry.value.load(std::memory_order_relaxed);
            __atomic_store(target, &value, __ATOMIC_RELAXED);
            // A sub-block that starts with every voice idle ends with the bend
            // playback reset; the cursors are done here, in the same pass
            // over the program, and only where one moved.
            if (active == 0 && entry.cursor.load(std::memory_order_relaxed) != 0)
                entry.cursor.store(0, std::memory_order_relaxed);
        }
    }
    clock_.store(clock + dt, std::memory_order_relaxed);
}
