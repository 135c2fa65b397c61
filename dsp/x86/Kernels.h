#pragma once
// The x86 vector forms of the sound code's fast paths, by module. Each
// module's .cpp holds the plain form and calls these where instructionSet()
// allows; every one computes exactly the plain form's operations, so the
// bits never depend on which ran. Built only where VORN_X86_KERNELS is
// defined. (The filter's lanes, a record of their own, are in
// SVFilterLanes.h.)

#include "dsp/InstructionSet.h"
#include "dsp/PlanarTerms.h"

#include <cstdint>

namespace Vorn {

struct TableReading;

namespace X86 {

// TanhShaper: work[i] = tanh(g work[i]) over the leading samples of
// work[0..n) that fill whole vectors of `level` (sixteen, then eight, then
// four lanes); returns how many it did.
int shapeTanh(float* work, int n, float g, InstructionSet level);

// FirResampler, phase by phase (see PlanarTerms.h): the leading samples of
// the block that fill whole vectors of `level`; each returns how many it
// did. Up-sampling reads the line x, input sample t at x[t] with the seven
// before the block at x[-7..-1], and writes planes[j * n + t]; down-sampling
// reads the planes q behind their history and writes out[i].
int upsamplePlanar(const float* coefficients, const float* x, int n, float* planes, InstructionSet level);
int downsamplePlanar(const float* coefficients, const float (*q)[PlanarTerms::kPlaneLength], int n, float* out,
                     InstructionSet level);

// Saturator: out = down(tanh(gain up(in))) for one whole sub-block, at
// level AVX2 or wider, with both resamplers' histories (the last eight
// samples each, oldest first) moved on: the bits of
// FirResampler::upsamplePlanar, TanhShaper::apply and
// FirResampler::downsamplePlanar.
constexpr int kSaturatorBlock = 16;
void saturateSubBlock(const float* coefficients, float* upHistory, float* downHistory, const float* in, float gain,
                      float* out, InstructionSet level);

// TableReader: its plain loops (TableReaderLoops.h) in AVX2 and BMI2
// encodings.
uint32_t readTable(const float* table, TableReading r, uint32_t phase, uint32_t increment, int count, float* out);
uint32_t readTableDifference(const float* table, TableReading r, uint32_t phase, uint32_t increment, uint32_t offset,
                             int count, float* out);

// Redux: x = step floor(scale x + 0.5) over the leading whole vectors of
// x[0..count) with SSE4.1; returns how many it did.
int quantize(float* x, int count, float scale, float step);

} // namespace X86
} // namespace Vorn
