// SPDX-License-Identifier: GPL-3.0-or-later
#include "contact_export/contact_export_run.h"

#include <memory>

#include "contact_export/vcard_card.h"

namespace kalendro {
namespace {

// Walks the folder until its end or a Stop; the stream is closed only when the walk ends
// normally, so a failure leaves every line written before it.
void WriteContacts(const PlatformServices& services, const std::string& outputPath, ContactExportState& state,
                   ContactExportView& view) {
    const std::shared_ptr<StoreApplication> application = services.createStoreApplication();
    const std::shared_ptr<StoreSession> session = application->GetNamespace("MAPI");
    const std::shared_ptr<StoreFolder> folder = session->GetDefaultFolder(kDefaultContactsFolder);
    const std::unique_ptr<StoreItems> items = folder->Items();
    const std::unique_ptr<FileSystem> fileSystem = services.createFileSystem();
    const std::unique_ptr<TextStream> stream = fileSystem->CreateTextFile(outputPath, true);
    state.TotalItems = items->Count();
    state.ContactsDone = 0;
    ContactCardRun run{state, view, services.regional};
    const std::unique_ptr<StoreItemEnumerator> enumerator = items->Enumerate();
    while (const std::shared_ptr<StoreItem> item = enumerator->Next()) {
        if (item->TypeName() != "ContactItem") {
            continue;
        }
        WriteContactCard(*stream, *item, run);
        view.ProcessPendingEvents();
        if (!state.ExportRunning) {
            break;
        }
    }
    stream->Close();
}

}  // namespace

void ExportContacts(const PlatformServices& services, const std::string& outputPath, ContactExportState& state,
                    ContactExportView& view) {
    try {
        WriteContacts(services, outputPath, state, view);
    } catch (const Failure& failure) {
        view.ShowMessage(kContactFileMessage, failure);
    }
}

}  // namespace kalendro
