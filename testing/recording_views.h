// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "calendar_export/calendar_export_run.h"
#include "contact_export/contact_export_run.h"
#include "platform/store/failure.h"

namespace kalendro::testing {

// A calendar export view that keeps what a window would show, and the calls in order.
class RecordingCalendarView : public CalendarExportView {
public:
    std::string outputPath;
    std::string processDate;
    std::vector<std::string> listLines;
    std::string count;
    std::vector<std::string> messages;
    std::optional<Failure> cause;
    std::vector<std::string> calls;

    void ShowOutputPath(const std::string& path) override {
        calls.push_back("path");
        outputPath = path;
    }
    void ClearResults() override {
        calls.push_back("clear");
        count.clear();
        processDate.clear();
        listLines.clear();
    }
    void ShowProcessDate(const std::string& text) override {
        calls.push_back("date");
        processDate = text;
    }
    void AppendListLine(const std::string& line) override {
        calls.push_back("line");
        listLines.push_back(line);
    }
    void ShowCount(const std::string& text) override {
        calls.push_back("count");
        count = text;
    }
    void ShowMessage(const std::string& text) override {
        calls.push_back("message");
        messages.push_back(text);
    }
    void ShowProgress() override { calls.push_back("progress"); }
    void ShowFailureCause(const Failure& failure) override { cause = failure; }
};

// Records what the run shows; onProcessEvents stands in for a click handled between two cards.
class RecordingContactView : public ContactExportView {
public:
    void ShowStatus(const std::string& text) override { statuses.push_back(text); }
    void ShowMessage(const std::string& text, const Failure& cause) override {
        messages.push_back(text);
        causes.push_back(cause.Number());
    }
    void ProcessPendingEvents() override {
        ++eventRounds;
        if (onProcessEvents) {
            onProcessEvents();
        }
    }

    std::vector<std::string> statuses;
    std::vector<std::string> messages;
    std::vector<int> causes;
    int eventRounds = 0;
    std::function<void()> onProcessEvents;
};

}  // namespace kalendro::testing
