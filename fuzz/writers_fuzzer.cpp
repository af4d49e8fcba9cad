// SPDX-License-Identifier: GPL-3.0-or-later
// The iCalendar and vCard writers on arbitrary texts (invalid UTF-8, NUL, long values) into every
// character set the locale may name: each line ends in CR LF with no CR or LF inside, vCard lines fold
// at 75 characters, and the disk stream writes exactly the bytes that converting each write alone
// gives.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "calendar_export/calendar_writer.h"
#include "contact_export/contact_export_run.h"
#include "contact_export/vcard_card.h"
#include "fuzz/scratch_directory.h"
#include "platform/files/drive_table.h"
#include "platform/text/charset.h"
#include "platform/text/utf8.h"
#include "testing/fake_store.h"

namespace {

using namespace kalendro;

constexpr std::array<const char*, 7> kCharsets = {"UTF-8",          "ISO-8859-1", "ISO-8859-15", "CP1252",
                                                  "ANSI_X3.4-1968", "KOI8-R",     "GB18030"};
constexpr std::size_t kFoldWidth = 75;

[[noreturn]] void Finding(const std::string& what) {
    std::cerr << "FINDING: " << what << "\n";
    std::abort();
}

// Keeps what the writer hands over, as UTF-8 and converted call by call.
class RecordingStream : public TextStream {
public:
    explicit RecordingStream(const std::string& charset) : converter_("UTF-8", charset) {}
    void WriteLine(std::string_view text) override {
        Write(text);
        utf8_ += "\r\n";
        converted_ += "\r\n";
    }
    void Write(std::string_view text) override {
        utf8_ += text;
        converter_.AppendConverted(text, converted_);
    }
    void Close() override {}

    const std::string& Utf8() const { return utf8_; }
    const std::string& Converted() const { return converted_; }

private:
    CharsetConverter converter_;
    std::string utf8_;
    std::string converted_;
};

class QuietContactView : public ContactExportView {
public:
    void ShowStatus(const std::string&) override {}
    void ShowMessage(const std::string&, const Failure&) override {}
    void ProcessPendingEvents() override {}
};

const std::filesystem::path& Scratch() {
    static const fuzz::ScratchDirectory directory("writers-fuzzer");
    return directory.Path();
}

std::string DiskBytes(const std::string& charset, const std::function<void(TextStream&)>& write) {
    const std::filesystem::path& directory = Scratch();
    auto drives = std::make_shared<DriveTable>(directory.string(), [] { return std::vector<DriveMount>{}; });
    const std::string path = (directory / "out.txt").string();
    {
        // Released without Close: the bytes are the same, without waiting for the device.
        auto stream = OpenDiskFileSystem(drives, charset, directory.string())->CreateTextFile(path);
        write(*stream);
    }
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void CheckLineEnds(const std::string& utf8) {
    for (std::size_t at = 0; at < utf8.size(); ++at) {
        const bool strayCr = utf8[at] == '\r' && (at + 1 == utf8.size() || utf8[at + 1] != '\n');
        const bool strayLf = utf8[at] == '\n' && (at == 0 || utf8[at - 1] != '\r');
        if (strayCr || strayLf) {
            Finding("a line break that is not CR LF at byte " + std::to_string(at));
        }
    }
}

void CheckFolds(const std::string& utf8) {
    std::size_t start = 0;
    for (std::size_t end; (end = utf8.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string_view line = std::string_view(utf8).substr(start, end - start);
        const std::size_t allowed = kFoldWidth + (line.starts_with(' ') ? 1 : 0);
        if (AdvanceCodePoints(line, 0, allowed) != line.size()) {
            Finding("a vCard line longer than " + std::to_string(allowed) + " characters");
        }
    }
}

void CheckWriter(const std::string& charset, const std::function<void(TextStream&)>& write, bool folded) {
    RecordingStream recorded(charset);
    write(recorded);
    CheckLineEnds(recorded.Utf8());
    if (folded) {
        CheckFolds(recorded.Utf8());
    }
    if (DiskBytes(charset, write) != recorded.Converted()) {
        Finding("the disk stream in " + charset + " differs from the writes converted one by one");
    }
}

StoreDate DateFrom(FuzzedDataProvider& input) {
    return StoreDate::FromSerialSeconds(input.ConsumeIntegralInRange<std::int64_t>(-62135596800LL, 253402300799LL));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string charset = kCharsets[input.ConsumeIntegralInRange<std::size_t>(0, kCharsets.size() - 1)];
    const auto text = [&input] { return input.ConsumeRandomLengthString(4096); };

    testing::FakeItem appointment("AppointmentItem");
    for (const char* member : {"Subject", "Location", "Body", "Categories", "EntryID"}) {
        appointment.Set(member, text());
    }
    for (const char* member : {"Start", "End", "CreationTime", "LastModificationTime"}) {
        appointment.Set(member, DateFrom(input));
    }
    appointment.Set("AllDayEvent", input.ConsumeBool());
    CheckWriter(
        charset,
        [&](TextStream& stream) {
            WriteCalendarHeader(stream);
            WriteAppointmentEvent(stream, appointment);
            WriteCalendarTrailer(stream);
        },
        false);

    testing::FakeItem contact("ContactItem");
    for (const char* member : {"FirstName", "LastName", "MiddleName", "CompanyName", "Title", "JobTitle", "NickName",
                               "Body", "Categories", "MailingAddress", "WebPage", "EntryID", "HomeTelephoneNumber"}) {
        contact.Set(member, text());
    }
    contact.Set("Birthday", DateFrom(input)).Set("Anniversary", DateFrom(input));
    const RegionalSettings regional;
    CheckWriter(
        charset,
        [&](TextStream& stream) {
            ContactExportState state;
            QuietContactView view;
            ContactCardRun run{state, view, regional};
            WriteContactCard(stream, contact, run);
        },
        true);
    return 0;
}
