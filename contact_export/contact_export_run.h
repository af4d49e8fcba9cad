// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "platform/store/failure.h"
#include "platform/system/platform_services.h"

namespace kalendro {

// What the contact run shows while it goes: the window, the headless command and the tests each
// give their own.
class ContactExportView {
public:
    virtual ~ContactExportView() = default;
    // LBL_status: the progress text of the card being written.
    virtual void ShowStatus(const std::string& text) = 0;
    // The run's one failure message (only OK, titled Kalendro); cause is what really went wrong.
    virtual void ShowMessage(const std::string& text, const Failure& cause) = 0;
    // Lets the window system handle what is pending (repaint, a Stop click, a close).
    virtual void ProcessPendingEvents() = 0;
};

// The state of one contact run. The counters are 32-bit: a folder of more than 32767 items is a
// valid folder and its progress shows the true counts.
struct ContactExportState {
    bool ExportRunning = false;     // cleared by a Stop click, read after each contact
    std::int32_t TotalItems = 0;    // every item of the folder, contacts or not
    std::int32_t ContactsDone = 0;  // contact items handed to the card writer so far
    bool AddBirthday = true;
    bool AddAnniversary = true;
};

inline constexpr const char* kContactFileMessage = "The output file could not be created at the specified path.";

// One contact export: its own store connection, the default contacts folder, one card per
// contact written to outputPath (replaced when it exists). Any failure ends the run with the one
// message; what was written stays in the file.
void ExportContacts(const PlatformServices& services, const std::string& outputPath, ContactExportState& state,
                    ContactExportView& view);

}  // namespace kalendro
