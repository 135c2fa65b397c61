// The table reader's loops in AVX2 and BMI2 encodings.

#include "dsp/TableReaderLoops.h"
#include "dsp/x86/Kernels.h"

namespace Vorn {
namespace X86 {

__attribute__((target("avx2,bmi2"))) uint32_t readTable(const float* table, TableReading r, uint32_t phase,
                                                        uint32_t increment, int count, float* out)
{
    return readTableLoop(table, r, phase, increment, count, out);
}

__attribute__((target("avx2,bmi2"))) uint32_t readTableDifference(const float* table, TableReading r, uint32_t phase,
                                                                  uint32_t increment, uint32_t offset, int count,
                                                                  float* out)
{
    return readTableDifferenceLoop(table, r, phase, increment, offset, count, out);
}

} // namespace X86
} // namespace Vorn
