#pragma once

#include "platform/drive_table.h"
#include "platform/output_files.h"
#include "platform/regional.h"
#include "platform/registry.h"
#include "platform/store.h"
#include "platform/store_date.h"
#include "platform/system_programs.h"

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
