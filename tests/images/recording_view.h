#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "images/le_bytes.h"
#include "images/selection_view.h"

namespace vantorel::test {

// Records what the image selection shows and answers its file dialogs from a queue.
class RecordingView : public images::SelectionView {
public:
    void AppendMainLog(const std::string& line) override { mainLog.push_back(line); }
    void ClearAuxLog() override { auxLog.clear(); }
    void AppendAuxLog(const std::string& line) override { auxLog.push_back(line); }
    void SetAuxLogVisible(bool visible) override { auxVisible = visible; }
    void SetDetectEnabled(bool enabled) override { detectEnabled = enabled; }
    void ShowMessage(const images::Message& message) override { messages.push_back(message); }
    void ShowSelection() override {
        ++selectionShown;
        if (onShowSelection) {
            onShowSelection();
        }
    }
    std::optional<std::string> ChooseFile(const std::string& filter) override {
        filters.push_back(filter);
        if (answers.empty()) {
            ADD_FAILURE() << "a file dialog opened that the test did not expect";
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }

    // Queues the answer of the next file dialog; nullopt cancels it.
    void Answer(std::optional<std::string> path) { answers.push_back(std::move(path)); }

    std::vector<std::string> mainLog;
    std::vector<std::string> auxLog;
    std::vector<images::Message> messages;
    std::vector<std::string> filters;
    std::optional<bool> detectEnabled;
    bool auxVisible = false;
    int selectionShown = 0;
    std::function<void()> onShowSelection;
    std::deque<std::optional<std::string>> answers;
};

inline void PutLe32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    if (bytes.size() < offset + 4) {
        bytes.resize(offset + 4);
    }
    images::StoreLe32(bytes.data() + offset, value);
}

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace vantorel::test
