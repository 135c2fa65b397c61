#pragma once
// CPoint lives beside CRect, which needs it for hit tests.
#include "gui/CRect.h"
