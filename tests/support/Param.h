#pragma once
// The live value of a parameter by its full name, for tests that drive
// modules directly. A name the container lacks fails the test; the test then
// goes on with a scratch value rather than reading outside the container.

#include "dsp/Module.h"

#include <gtest/gtest.h>

inline float& param(Vorn::Effect& effect, const char* fullName)
{
    const int index = effect.findParameter(fullName);
    if (index < 0) {
        ADD_FAILURE() << "no parameter named " << fullName;
        static float scratch;
        return scratch;
    }
    return effect.parameter(index).value;
}
