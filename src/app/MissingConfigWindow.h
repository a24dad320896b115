#pragma once

#include "ResendConfig.h"

// Shows what is missing and every place Config.plist was looked for, in a small
// window, until the person closes it.
void showMissingConfigWindow(const ConfigProblem &problem);
