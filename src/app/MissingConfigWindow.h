// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ResendConfig.h"

// Shows what is missing and every place Config.plist was looked for, in a small
// window, until the person closes it.
void showMissingConfigWindow(const ConfigProblem &problem);
