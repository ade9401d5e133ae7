#include "line/mqtt/mqtt_outbox.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace vantorel::line {

namespace {

constexpr size_t kDigits = 20;
constexpr std::string_view kEnding = ".json";
// A message file is a topic and a report line or summary: far below this.
constexpr uint64_t kMostEntryBytes = 256 * 1024;

std::string EntryText(const OutboxEntry& entry) {
    const QJsonObject object{{"topic", QString::fromStdString(entry.topic)},
                             {"payload", QString::fromStdString(entry.payload)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

bool ParseEntry(const std::string& text, OutboxEntry& entry) {
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text));
    const QJsonObject object = document.object();
    if (!object.value("topic").isString() || !object.value("payload").isString()) {
        return false;
    }
    entry.topic = object.value("topic").toString().toStdString();
    entry.payload = object.value("payload").toString().toStdString();
    return !entry.topic.empty();
}

}  // namespace

bool IsOutboxFileName(const std::string& name) {
    return name.size() == kDigits + kEnding.size() && name.ends_with(kEnding) &&
           std::all_of(name.begin(), name.begin() + kDigits,
                       [](char c) { return c >= '0' && c <= '9'; });
}

MqttOutbox::MqttOutbox(std::filesystem::path folder, size_t mostEntries,
                       records::WriteFunction write)
    : m_folder(std::move(folder)),
      m_nMostEntries(std::max<size_t>(mostEntries, 1)),
      m_write(std::move(write)) {}

std::filesystem::path MqttOutbox::FileOf(uint64_t sequence) const {
    char name[kDigits + 1];
    std::snprintf(name, sizeof name, "%020" PRIu64, sequence);
    return m_folder / (std::string(name) + std::string(kEnding));
}

bool MqttOutbox::Open(std::string& error) {
    if (m_folder.empty()) {
        return true;
    }
    std::error_code fault;
    std::filesystem::create_directories(m_folder, fault);
    struct stat status {};
    if (fault || ::lstat(m_folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        ::access(m_folder.c_str(), W_OK | X_OK) != 0) {
        error = "The outbox folder " + m_folder.string() + " cannot be used" +
                (fault ? " (" + fault.message() + ")" : std::string());
        return false;
    }
    ::chmod(m_folder.c_str(), 0700);  // its lines are the line's business only
    // Two runs with one station id would send and delete each other's messages.
    m_lock.Reset(::open((m_folder / ".lock").c_str(),
                        O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
    if (!m_lock || ::flock(m_lock.Get(), LOCK_EX | LOCK_NB) != 0) {
        error = "The outbox folder " + m_folder.string() +
                (m_lock ? " is in use by another run of this station id"
                        : " cannot be used (" + std::string(std::strerror(errno)) + ")");
        m_lock.Reset();
        return false;
    }
    std::vector<std::pair<uint64_t, std::filesystem::path>> found;
    for (const auto& item : std::filesystem::directory_iterator(m_folder, fault)) {
        const std::string name = item.path().filename().string();
        if (IsOutboxFileName(name)) {
            found.emplace_back(std::stoull(name.substr(0, kDigits)), item.path());
        } else if (name.ends_with(".json.new") &&
                   IsOutboxFileName(name.substr(0, name.size() - 4))) {
            // Written by a run that ended before the rename: never a whole message.
            ::unlink(item.path().c_str());
        }
    }
    std::sort(found.begin(), found.end());
    for (const auto& [sequence, path] : found) {
        m_nextSequence = std::max(m_nextSequence, sequence + 1);
        const std::optional<std::string> text = records::ReadRecordFile(path, kMostEntryBytes);
        if (!text) {
            continue;  // no regular file of ours: left alone
        }
        OutboxEntry entry;
        if (!ParseEntry(*text, entry)) {
            ::unlink(path.c_str());
            continue;
        }
        entry.sequence = sequence;
        entry.bOnDisk = true;
        m_entries.push_back(std::move(entry));
    }
    while (m_entries.size() > m_nMostEntries) {
        Remove(m_entries.front().sequence);
    }
    m_bUsable = true;
    return true;
}

bool MqttOutbox::Add(std::string topic, std::string payload, bool& dropped, std::string& error) {
    dropped = false;
    if (m_entries.size() >= m_nMostEntries) {
        Remove(m_entries.front().sequence);
        dropped = true;
    }
    OutboxEntry entry{m_nextSequence++, std::move(topic), std::move(payload), false};
    bool bWritten = true;
    if (m_bUsable) {
        bWritten = records::ReplaceFile(FileOf(entry.sequence), EntryText(entry), error, m_write);
        entry.bOnDisk = bWritten;
    }
    m_entries.push_back(std::move(entry));
    return bWritten;
}

void MqttOutbox::Remove(uint64_t sequence) {
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [&](const OutboxEntry& e) { return e.sequence == sequence; });
    if (found == m_entries.end()) {
        return;
    }
    if (found->bOnDisk) {
        ::unlink(FileOf(sequence).c_str());
    }
    m_entries.erase(found);
}

}  // namespace vantorel::line
