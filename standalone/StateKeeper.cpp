#include "standalone/StateKeeper.h"

#include "formats/FactoryBank.h"
#include "plugin/Synth.h"
#include "standalone/SynthTarget.h"

#include <cstdio>

StateFile::Snapshot StateKeeper::snapshot()
{
    StateFile::Snapshot state;
    state.bankChunk = synth_.bankChunk();
    state.currentProgram = synth_.currentProgram();
    state.uniqueID = synth_.synth().getAeffect()->uniqueID;
    state.version = synth_.synth().getAeffect()->version;
    state.programCount = Synth::kProgramCount;
    return state;
}

void StateKeeper::restore()
{
    std::string error;
    if (!file_.claim(error))
        std::fprintf(stderr, "tarvel: %s\n", error.c_str());
    // The factory bank is the first run's bank, and what a state that
    // cannot be read gives way to.
    synth_.loadBankChunk(FactoryBank::bankChunk(), FactoryBank::bankChunkSize());
    synth_.restoreCurrentProgram(0);
    SynthTarget target(synth_);
    const StateFile::LoadResult loaded = file_.load(target);
    switch (loaded.outcome) {
    case StateFile::Outcome::Restored:
        saved_ = StateFile::encode(snapshot());
        break;
    case StateFile::Outcome::Missing:
        std::fprintf(stderr, "tarvel: starting with the factory bank; your bank will be kept in %s\n",
                     file_.path().c_str());
        break;
    case StateFile::Outcome::Damaged: {
        const std::string kept = loaded.keptAs.empty() ? "the damaged file is left where it is"
                                                       : "the damaged file is kept as " + loaded.keptAs;
        std::fprintf(stderr, "tarvel: the saved state is damaged (%s): starting with the factory bank; %s\n",
                     loaded.detail.c_str(), kept.c_str());
        break;
    }
    case StateFile::Outcome::Unreadable:
        std::fprintf(stderr,
                     "tarvel: cannot read the saved state %s (%s): starting with the factory bank, and that file "
                     "will not be replaced\n",
                     file_.path().c_str(), loaded.detail.c_str());
        break;
    }
}

bool StateKeeper::save()
{
    if (!file_.claimed())
        return true;
    const StateFile::Snapshot state = snapshot();
    const std::vector<uint8_t> bytes = StateFile::encode(state);
    if (bytes == saved_)
        return true;
    std::string error;
    if (!file_.save(state, error)) {
        if (error != lastError_)
            std::fprintf(stderr, "tarvel: %s; the last saved state is kept\n", error.c_str());
        lastError_ = error;
        return false;
    }
    saved_ = bytes;
    lastError_.clear();
    return true;
}
