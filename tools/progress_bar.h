// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ostream>
#include <string>

namespace kalendro::tools {

// The progress of a run as a terminal shows it: a bar of kProgressBarCells cells, then "DONE of TOTAL"
// and the percentage done, e.g. "[#######.......................]  3 of 12  25%".
inline constexpr int kProgressBarCells = 30;
std::string ProgressBarLine(int done, int total);

// Keeps the progress on one line of a terminal, redrawn in place.
class TerminalProgress {
public:
    explicit TerminalProgress(std::ostream& terminal) : terminal_(terminal) {}
    void Show(int done, int total);
    // Ends the progress line, so that what follows starts a line of its own; nothing when none was shown.
    void Finish();

private:
    std::ostream& terminal_;
    bool shown_ = false;
};

}  // namespace kalendro::tools
