#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "base/unique_fd.h"
#include "records/append_file.h"

namespace vantorel::line {

// A message that must reach the broker: it waits here until the broker acknowledged it.
struct OutboxEntry {
    uint64_t sequence = 0;  // the order it was added in
    std::string topic;
    std::string payload;
    bool bOnDisk = false;
};

// The messages waiting for the broker, in order, kept on disk so that a station restarted
// (or killed) sends them when it next runs. Each message is a file of its own, written whole
// beside its final name and renamed into place, so a crash leaves a message whole or absent;
// it is deleted when the broker acknowledged it. Only files of the outbox's own name pattern
// are ever read or deleted. Bounded: when full, the oldest message goes to make room (the
// batch records keep every report line anyway). Not thread-safe: one owner.
class MqttOutbox {
public:
    // `folder` empty: the messages are kept in memory only.
    MqttOutbox(std::filesystem::path folder, size_t mostEntries, records::WriteFunction write = {});

    // Creates the folder (mode 0700) and takes the messages an earlier run left, in order.
    // False, with `error`, when the folder cannot be used or another outbox object (another
    // station run with the same id) holds it: the outbox then keeps messages in memory only.
    bool Open(std::string& error);

    // Adds a message at the end, dropping the oldest when full (`dropped` is then true).
    // False, with `error`, when it could not be written to disk: it waits in memory instead.
    bool Add(std::string topic, std::string payload, bool& dropped, std::string& error);
    // The broker has it: forgotten, its file deleted.
    void Remove(uint64_t sequence);

    const std::deque<OutboxEntry>& Entries() const { return m_entries; }
    const std::filesystem::path& Folder() const { return m_folder; }

private:
    std::filesystem::path FileOf(uint64_t sequence) const;

    std::filesystem::path m_folder;
    const size_t m_nMostEntries;
    const records::WriteFunction m_write;
    bool m_bUsable = false;
    UniqueFd m_lock;  // held while this outbox owns the folder
    uint64_t m_nextSequence = 1;
    std::deque<OutboxEntry> m_entries;
};

// Whether `name` is one the outbox gives a message file: twenty digits and ".json".
bool IsOutboxFileName(const std::string& name);

}  // namespace vantorel::line
