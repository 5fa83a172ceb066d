// SPDX-License-Identifier: MIT
#pragma once
// The font helpers live in chart/fonts.h; this name stays for the files that still use it.
#include "chart/fonts.h"
