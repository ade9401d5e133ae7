#include "line/mqtt/mosquitto_client.h"

#include <mosquitto.h>

#include <cerrno>
#include <cstring>

namespace vantorel::line {

namespace {

// libmosquitto's process-wide set-up, once, undone at exit.
struct LibraryUse {
    LibraryUse() { mosquitto_lib_init(); }
    ~LibraryUse() { mosquitto_lib_cleanup(); }
};

void UseLibrary() {
    static const LibraryUse use;
}

}  // namespace

MosquittoClient::MosquittoClient(const std::string& clientId, Callbacks callbacks,
                                 bool bCleanSession)
    : m_callbacks(std::move(callbacks)) {
    UseLibrary();
    // No id: the library makes a random one.
    m_handle = mosquitto_new(clientId.empty() ? nullptr : clientId.c_str(), bCleanSession, this);
    if (m_handle == nullptr) {
        return;
    }
    mosquitto_connect_callback_set(m_handle, &MosquittoClient::OnConnect);
    mosquitto_disconnect_callback_set(m_handle, &MosquittoClient::OnDisconnect);
    mosquitto_publish_callback_set(m_handle, &MosquittoClient::OnPublish);
    mosquitto_message_callback_set(m_handle, &MosquittoClient::OnMessage);
    mosquitto_subscribe_callback_set(m_handle, &MosquittoClient::OnSubscribe);
    mosquitto_log_callback_set(m_handle, &MosquittoClient::OnLog);
}

MosquittoClient::~MosquittoClient() {
    if (m_handle == nullptr) {
        return;
    }
    if (m_bThreaded) {
        // Not forced: a cancelled thread can die holding the client's mutexes, which destroy
        // then frees locked. The disconnect ends the loop, and a wait for a reconnect is
        // woken by the stop.
        mosquitto_disconnect(m_handle);
        mosquitto_loop_stop(m_handle, false);
    }
    mosquitto_destroy(m_handle);
}

int MosquittoClient::SetLogin(const std::string& user, const std::string& password) {
    return mosquitto_username_pw_set(m_handle, user.c_str(),
                                     password.empty() ? nullptr : password.c_str());
}

int MosquittoClient::SetTls(const std::string& caFile) {
    return mosquitto_tls_set(m_handle, caFile.empty() ? nullptr : caFile.c_str(),
                             caFile.empty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr,
                             nullptr);
}

int MosquittoClient::SetWill(const std::string& topic, std::string_view payload, int qos,
                             bool bRetain) {
    return mosquitto_will_set(m_handle, topic.c_str(), static_cast<int>(payload.size()),
                              payload.data(), qos, bRetain);
}

int MosquittoClient::ConnectAsync(const std::string& host, int port, int keepAliveSeconds) {
    return mosquitto_connect_async(m_handle, host.c_str(), port, keepAliveSeconds);
}

int MosquittoClient::Publish(const std::string& topic, std::string_view payload, int qos,
                             bool bRetain, int* messageId) {
    return mosquitto_publish(m_handle, messageId, topic.c_str(), static_cast<int>(payload.size()),
                             payload.data(), qos, bRetain);
}

int MosquittoClient::Subscribe(const std::string& pattern, int qos) {
    return mosquitto_subscribe(m_handle, nullptr, pattern.c_str(), qos);
}

int MosquittoClient::Disconnect() {
    return mosquitto_disconnect(m_handle);
}

int MosquittoClient::Loop(int timeoutMs) {
    return mosquitto_loop(m_handle, timeoutMs, 1);
}

int MosquittoClient::StartThreadedLoop() {
    const int result = mosquitto_loop_start(m_handle);
    m_bThreaded = result == MOSQ_ERR_SUCCESS;
    return result;
}

std::string MosquittoClient::ErrorText(int result) {
    if (result == MOSQ_ERR_ERRNO) {
        return std::strerror(errno);
    }
    return mosquitto_strerror(result);
}

std::string MosquittoClient::Explain(int result) const {
    const std::string text = ErrorText(result);
    if (result == MOSQ_ERR_TLS && !m_lastLoggedError.empty()) {
        return text + " " + m_lastLoggedError;
    }
    return text;
}

void MosquittoClient::OnLog(mosquitto*, void* self, int level, const char* text) {
    if (level == MOSQ_LOG_ERR && text != nullptr) {
        static_cast<MosquittoClient*>(self)->m_lastLoggedError = text;
    }
}

std::string MosquittoClient::ConnackText(int code) {
    return mosquitto_connack_string(code);
}

void MosquittoClient::OnConnect(mosquitto*, void* self, int code) {
    const auto& callback = static_cast<MosquittoClient*>(self)->m_callbacks.connected;
    if (callback) {
        callback(code);
    }
}

void MosquittoClient::OnDisconnect(mosquitto*, void* self, int code) {
    const auto& callback = static_cast<MosquittoClient*>(self)->m_callbacks.disconnected;
    if (callback) {
        callback(code);
    }
}

void MosquittoClient::OnPublish(mosquitto*, void* self, int messageId) {
    const auto& callback = static_cast<MosquittoClient*>(self)->m_callbacks.published;
    if (callback) {
        callback(messageId);
    }
}

void MosquittoClient::OnSubscribe(mosquitto*, void* self, int, int, const int*) {
    const auto& callback = static_cast<MosquittoClient*>(self)->m_callbacks.subscribed;
    if (callback) {
        callback();
    }
}

void MosquittoClient::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    const auto& callback = static_cast<MosquittoClient*>(self)->m_callbacks.message;
    if (callback) {
        callback(message->topic,
                 std::string(static_cast<const char*>(message->payload),
                             static_cast<size_t>(message->payloadlen)),
                 message->retain);
    }
}

}  // namespace vantorel::line
