#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "line/mqtt/mosquitto_client.h"
#include "tests/bench/child_process.h"

namespace vantorel::line::test {

// Debian's own broker, /usr/sbin/mosquitto, on a free localhost port with a configuration
// file of the test's own in `folder`; killed when the object goes. Stop and Start again keep
// the port, as a broker restarted on a line does.
class TestBroker {
public:
    explicit TestBroker(std::filesystem::path folder);
    ~TestBroker();

    // Only the users added before Start may log in (mosquitto_passwd makes the file).
    bool AddUser(const std::string& user, const std::string& password);
    // A second listener, over TLS, with a certificate for 127.0.0.1 signed by a CA of the
    // test's own (made with openssl before Start); false with `error` if it cannot be made.
    bool AddTlsListener(std::string& error);
    std::filesystem::path CaFile() const { return m_folder / "ca.pem"; }
    uint16_t TlsPort() const { return m_tlsPort; }

    // Starts the broker and waits until it accepts connections; false with `error` if not.
    bool Start(std::string& error);
    // Kills it; `bGraceful`: ends it as a service manager does, and it keeps its sessions.
    void Stop(bool bGraceful = false);

    uint16_t Port() const { return m_port; }
    std::string Url() const { return "mqtt://127.0.0.1:" + std::to_string(m_port); }
    std::string Log() const;

private:
    std::filesystem::path m_folder;
    uint16_t m_port = 0;
    uint16_t m_tlsPort = 0;
    bool m_bPasswords = false;
    std::unique_ptr<bench::test::ChildProcess> m_process;
};

// A port on localhost that nothing listens on now.
uint16_t FreeLocalPort();

struct ReceivedMessage {
    std::string topic;
    std::string payload;
    bool bRetained = false;
};

// A dashboard's view of the broker: subscribed to a pattern, it keeps every message in the
// order it came, on libmosquitto's own network thread.
class TestSubscriber {
public:
    // With a `sessionId`, the broker keeps its subscription and its messages while it is
    // away, a restart of the broker included.
    TestSubscriber(uint16_t port, const std::string& pattern, const std::string& sessionId = {});

    // Waits (at most `bound`) until the messages so far satisfy `done`.
    bool WaitUntil(const std::function<bool(const std::vector<ReceivedMessage>&)>& done,
                   std::chrono::milliseconds bound);
    // Waits until it is subscribed (its retained messages then follow).
    bool WaitSubscribed(std::chrono::milliseconds bound);
    std::vector<ReceivedMessage> Messages();
    // The payloads of `topic`, in order.
    std::vector<std::string> PayloadsOf(const std::string& topic);

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<ReceivedMessage> m_messages;
    bool m_bSubscribed = false;
    std::string m_pattern;
    std::unique_ptr<MosquittoClient> m_client;  // last: its thread ends first
};

}  // namespace vantorel::line::test
