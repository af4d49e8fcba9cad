// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/progress_bar.h"

#include <algorithm>

namespace kalendro::tools {

std::string ProgressBarLine(int done, int total) {
    const int shownDone = std::clamp(done, 0, std::max(total, 0));
    const int percent = total > 0 ? shownDone * 100 / total : 0;
    const int filled = total > 0 ? shownDone * kProgressBarCells / total : 0;
    return '[' + std::string(filled, '#') + std::string(kProgressBarCells - filled, '.') + "]  " +
           std::to_string(done) + " of " + std::to_string(total) + "  " + std::to_string(percent) + '%';
}

void TerminalProgress::Show(int done, int total) {
    // The carriage return goes back to the line's start; the line only grows, so nothing old shows through.
    terminal_ << '\r' + ProgressBarLine(done, total) << std::flush;
    shown_ = true;
}

void TerminalProgress::Finish() {
    if (shown_) {
        terminal_ << '\n';
        shown_ = false;
    }
}

}  // namespace kalendro::tools
