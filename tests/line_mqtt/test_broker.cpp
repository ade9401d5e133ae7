#include "tests/line_mqtt/test_broker.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "base/unique_fd.h"

namespace vantorel::line::test {

namespace {

using namespace std::chrono_literals;

constexpr const char* kBrokerProgram = "/usr/sbin/mosquitto";
constexpr const char* kPasswdProgram = "/usr/bin/mosquitto_passwd";

sockaddr_in Localhost(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool Accepts(uint16_t port) {
    const UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = Localhost(port);
    return fd.Get() >= 0 &&
           ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

}  // namespace

uint16_t FreeLocalPort() {
    const UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address = Localhost(0);
    socklen_t size = sizeof address;
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

TestBroker::TestBroker(std::filesystem::path folder) : m_folder(std::move(folder)) {
    std::filesystem::create_directories(m_folder);
}

TestBroker::~TestBroker() {
    Stop();
}

bool TestBroker::AddUser(const std::string& user, const std::string& password) {
    const std::filesystem::path file = m_folder / "passwords";
    std::vector<std::string> args{"-b"};
    if (!std::filesystem::exists(file)) {
        args.push_back("-c");
    }
    args.insert(args.end(), {file.string(), user, password});
    const bench::test::RunResult result =
        bench::test::RunProgram(kPasswdProgram, args, {}, m_folder.string(), 20s);
    m_bPasswords = result.exitCode == 0;
    return m_bPasswords;
}

bool TestBroker::AddTlsListener(std::string& error) {
    const std::string folder = m_folder.string();
    std::ofstream(m_folder / "san.ext") << "subjectAltName=IP:127.0.0.1\n";
    const std::vector<std::string> key{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                       "-nodes"};
    const auto with = [&](std::vector<std::string> head, const std::vector<std::string>& tail) {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    const std::vector<std::vector<std::string>> commands{
        with(with({"req", "-x509"}, key),
             {"-keyout", folder + "/ca.key", "-out", folder + "/ca.pem", "-days", "2", "-subj",
              "/CN=vantorel test CA"}),
        with(with({"req"}, key), {"-keyout", folder + "/server.key", "-out", folder + "/server.csr",
                                  "-subj", "/CN=127.0.0.1"}),
        {"x509", "-req", "-in", folder + "/server.csr", "-CA", folder + "/ca.pem", "-CAkey",
         folder + "/ca.key", "-CAcreateserial", "-out", folder + "/server.pem", "-days", "2",
         "-extfile", folder + "/san.ext"},
    };
    for (const std::vector<std::string>& command : commands) {
        const bench::test::RunResult result =
            bench::test::RunProgram("/usr/bin/openssl", command, {}, folder, 60s);
        if (result.exitCode != 0) {
            error = "openssl " + command.front() + ": " + result.err;
            return false;
        }
    }
    m_tlsPort = 1;  // chosen at Start
    return true;
}

bool TestBroker::Start(std::string& error) {
    // Another test may take a port between our look and the broker's bind: a few tries.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (m_port == 0 || attempt > 0) {
            m_port = FreeLocalPort();
        }
        const std::filesystem::path config = m_folder / "mosquitto.conf";
        {
            std::ofstream out(config);
            out << "listener " << m_port << " 127.0.0.1\n"
                << "persistence true\npersistence_location " << m_folder.string() << "/\n"
                << "log_dest file " << (m_folder / "mosquitto.log").string() << "\n";
            if (m_bPasswords) {
                out << "allow_anonymous false\npassword_file " << (m_folder / "passwords").string()
                    << "\n";
            } else {
                out << "allow_anonymous true\n";
            }
            if (m_tlsPort != 0) {
                m_tlsPort = FreeLocalPort();
                out << "listener " << m_tlsPort << " 127.0.0.1\n"
                    << "certfile " << (m_folder / "server.pem").string() << "\n"
                    << "keyfile " << (m_folder / "server.key").string() << "\n";
            }
            if (::geteuid() == 0) {
                out << "user root\n";  // else it drops to a user who cannot read this folder
            }
        }
        m_process = std::make_unique<bench::test::ChildProcess>(
            kBrokerProgram, std::vector<std::string>{"-c", config.string()},
            std::vector<std::string>{}, (m_folder / "broker.out").string(),
            (m_folder / "broker.err").string());
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (Accepts(m_port)) {
                return true;
            }
            if (m_process->HasEnded()) {
                break;  // it ended: the port was taken after all
            }
            std::this_thread::sleep_for(10ms);
        }
        m_process.reset();
    }
    error = "mosquitto did not start: " + bench::test::ReadText((m_folder / "broker.err").string());
    return false;
}

void TestBroker::Stop(bool bGraceful) {
    if (bGraceful && m_process) {
        m_process->Interrupt();
        m_process->Wait(20s);
    }
    m_process.reset();
}

std::string TestBroker::Log() const {
    return bench::test::ReadText((m_folder / "mosquitto.log").string());
}

TestSubscriber::TestSubscriber(uint16_t port, const std::string& pattern,
                               const std::string& sessionId)
    : m_pattern(pattern) {
    MosquittoClient::Callbacks callbacks;
    callbacks.connected = [this](int code) {
        if (code == 0) {
            m_client->Subscribe(m_pattern, 1);
        }
    };
    callbacks.subscribed = [this] {
        std::lock_guard lock(m_mutex);
        m_bSubscribed = true;
        m_changed.notify_all();
    };
    callbacks.message = [this](const std::string& topic, const std::string& payload,
                               bool bRetained) {
        std::lock_guard lock(m_mutex);
        m_messages.push_back({topic, payload, bRetained});
        m_changed.notify_all();
    };
    m_client =
        std::make_unique<MosquittoClient>(sessionId, std::move(callbacks), sessionId.empty());
    m_client->ConnectAsync("127.0.0.1", port, 30);
    m_client->StartThreadedLoop();
}

bool TestSubscriber::WaitUntil(const std::function<bool(const std::vector<ReceivedMessage>&)>& done,
                               std::chrono::milliseconds bound) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, bound, [&] { return done(m_messages); });
}

bool TestSubscriber::WaitSubscribed(std::chrono::milliseconds bound) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, bound, [&] { return m_bSubscribed; });
}

std::vector<ReceivedMessage> TestSubscriber::Messages() {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

std::vector<std::string> TestSubscriber::PayloadsOf(const std::string& topic) {
    std::vector<std::string> payloads;
    for (const ReceivedMessage& message : Messages()) {
        if (message.topic == topic) {
            payloads.push_back(message.payload);
        }
    }
    return payloads;
}

}  // namespace vantorel::line::test
