#pragma once

#include "platform/output_files.h"
#include "platform/regional.h"
#include "platform/store.h"
#include "platform/store_date.h"

namespace kalendro {

// What a window needs of the platform, handed in by the caller so that tests can put fakes and
// temporary directories in its place.
struct PlatformServices {
    StoreApplicationFactory createStoreApplication;
    FileSystemFactory createFileSystem;
    RegionalSettings regional;
    StoreDate today;
};

}  // namespace kalendro
