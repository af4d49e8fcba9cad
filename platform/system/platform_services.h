// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/files/drive_table.h"
#include "platform/files/output_files.h"
#include "platform/locale/regional.h"
#include "platform/store/store.h"
#include "platform/store/store_date.h"
#include "platform/system/registry.h"
#include "platform/system/system_programs.h"

namespace kalendro {

// What a window needs of the platform, handed in by the caller so that tests can put fakes and
// temporary directories in its place.
struct PlatformServices {
    StoreApplicationFactory createStoreApplication;
    FileSystemFactory createFileSystem;
    RegionalSettings regional;
    StoreDate today;
    // The about window's system-information launch; the system's own unless a test replaces them.
    std::shared_ptr<Registry> registry = OpenSystemRegistry();
    ProgramStarter startProgram = StartSystemProgram;
    NormalFileLookup isNormalFile = IsNormalFile;
    // Tells the main window when the drive list may have changed.
    MountWatcher watchMounts = WatchSystemMounts;
};

}  // namespace kalendro
