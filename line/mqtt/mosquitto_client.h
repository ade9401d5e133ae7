#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

struct mosquitto;
struct mosquitto_message;

namespace vantorel::line {

// One MQTT client of libmosquitto (the broker authors' own C library), owned: the handle is
// destroyed with the object, its socket closed. The library is set up once per process.
//
// The callbacks run on whichever thread drives the network loop: the caller's own in Loop(),
// the library's thread after StartThreadedLoop(). They must not destroy the client.
class MosquittoClient {
public:
    struct Callbacks {
        // The broker answered the connect: 0 accepted, else its reason (ConnackText).
        std::function<void(int code)> connected;
        // The connection ended: 0 when we asked for it.
        std::function<void(int code)> disconnected;
        // A QoS 1 message was acknowledged by the broker.
        std::function<void(int messageId)> published;
        std::function<void(const std::string& topic, const std::string& payload, bool bRetained)>
            message;
        // The broker confirmed a subscription: what it retains follows, then what is new.
        std::function<void()> subscribed;
    };

    // A session that is not clean keeps its subscriptions, and what they get meanwhile, at
    // the broker while the client is away; it needs an id.
    MosquittoClient(const std::string& clientId, Callbacks callbacks, bool bCleanSession = true);
    ~MosquittoClient();
    MosquittoClient(const MosquittoClient&) = delete;
    MosquittoClient& operator=(const MosquittoClient&) = delete;

    // False when the library could not make a client (out of memory).
    bool IsValid() const { return m_handle != nullptr; }

    // Each returns a libmosquitto result: 0 (MOSQ_ERR_SUCCESS) or an error for ErrorText.
    int SetLogin(const std::string& user, const std::string& password);
    // TLS with the broker's certificate checked against `caFile`, or the system's CA folder
    // when it is empty.
    int SetTls(const std::string& caFile);
    int SetWill(const std::string& topic, std::string_view payload, int qos, bool bRetain);
    // Starts connecting without waiting for the socket (a name is still looked up here).
    int ConnectAsync(const std::string& host, int port, int keepAliveSeconds);
    int Publish(const std::string& topic, std::string_view payload, int qos, bool bRetain,
                int* messageId = nullptr);
    int Subscribe(const std::string& pattern, int qos);
    int Disconnect();

    // One pass of the network loop on this thread: waits at most `timeoutMs` for the socket.
    int Loop(int timeoutMs);
    // The library's own network thread, which reconnects by itself; stopped with the client.
    int StartThreadedLoop();

    // The library's words for a result (the system's for an errno result).
    static std::string ErrorText(int result);
    // The same, with what the library last logged as an error when that says more (the
    // reason a TLS handshake failed). For the thread that drives the loop.
    std::string Explain(int result) const;
    // The broker's words for a refused connect.
    static std::string ConnackText(int code);

private:
    static void OnConnect(mosquitto*, void* self, int code);
    static void OnDisconnect(mosquitto*, void* self, int code);
    static void OnPublish(mosquitto*, void* self, int messageId);
    static void OnSubscribe(mosquitto*, void* self, int messageId, int count, const int* qos);
    static void OnLog(mosquitto*, void* self, int level, const char* text);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);

    Callbacks m_callbacks;
    mosquitto* m_handle = nullptr;
    bool m_bThreaded = false;
    std::string m_lastLoggedError;
};

}  // namespace vantorel::line
