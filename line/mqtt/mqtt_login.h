#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vantorel::line {

// How the station logs in to the broker, from the [mqtt] group of the operator's settings
// file (never from the command line, which every user of the machine can read):
//   [mqtt]
//   user=station7
//   password=...
//   ca-file=/etc/vantorel/line-ca.pem   (mqtts:// only; default: the system's CA folder)
struct MqttLogin {
    std::string user;  // empty: no login
    std::string password;
    std::string caFile;
};

// The login kept in `settingsFile`; none for a missing file or one that is not a regular file
// of at most `maxBytes` (said in `notes`, one sentence each, as is a password without a user).
MqttLogin LoadMqttLogin(const std::filesystem::path& settingsFile, size_t maxBytes,
                        std::vector<std::string>& notes);

}  // namespace vantorel::line
