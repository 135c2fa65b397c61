#include "dsp/TableReader.h"

#include "dsp/InstructionSet.h"
#include "dsp/TableReaderLoops.h"

#if defined(VORN_X86_KERNELS)
#include "dsp/x86/Kernels.h"
#endif

namespace Vorn {

namespace {

// Kept out of line, like the wider forms: the dispatch then only passes its
// arguments on, with no registers of its own to save and restore.
[[gnu::noinline]] uint32_t readPlain(const float* T, TableReading r, uint32_t p, uint32_t increment, int count,
                                     float* out)
{
    return readTableLoop(T, r, p, increment, count, out);
}

[[gnu::noinline]] uint32_t differencePlain(const float* T, TableReading r, uint32_t p, uint32_t increment,
                                           uint32_t offset, int count, float* out)
{
    return readTableDifferenceLoop(T, r, p, increment, offset, count, out);
}

} // namespace

uint32_t TableReader::read(const float* table, const PhaseAccumulator& acc, uint32_t increment, int count, float* out)
{
#if defined(VORN_X86_KERNELS)
    if (instructionSet() >= InstructionSet::Avx2)
        return X86::readTable(table, TableReading(acc), acc.phase, increment, count, out);
#endif
    return readPlain(table, TableReading(acc), acc.phase, increment, count, out);
}

uint32_t TableReader::readDifference(const float* table, const PhaseAccumulator& acc, uint32_t increment,
                                     uint32_t offset, int count, float* out)
{
#if defined(VORN_X86_KERNELS)
    if (instructionSet() >= InstructionSet::Avx2)
        return X86::readTableDifference(table, TableReading(acc), acc.phase, increment, offset, count, out);
#endif
    return differencePlain(table, TableReading(acc), acc.phase, increment, offset, count, out);
}

} // namespace Vorn
