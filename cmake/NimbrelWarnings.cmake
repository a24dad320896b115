# SPDX-FileCopyrightText: 2026 The Nimbrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Warnings every Nimbrel target builds with.
function(nimbrel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()
