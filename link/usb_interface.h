#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "link/interface_class.h"
#include "link/link_platform.h"

namespace vantorel::link {

// A handset that stays on the bus but stops answering must not hold its slot for ever: a
// blocking read waits at most this long, in protocol time, for the next byte.
inline constexpr Clock::Duration kReplySilenceBound{120000};

// A read that does not wait for a reply (the greeting's) still gives the handset this much
// real time in all, however fast a test clock runs: a scaled-down clock must not turn the
// scheduling delay of the thread that answers into a handset that never answered.
inline constexpr std::chrono::milliseconds kShortestNoWaitRead{100};

// The serial-style link to one handset's download interface: it waits for received data the
// way a serial port is waited on (receive-character wait, count of queued bytes).
//
// A link carries no lock for its protocol use: the console opens and closes it, the slot's
// worker reads and writes while a download runs. Close may come from another thread while a
// read blocks (the window closes, the handset is pulled): the read then ends with 0 bytes.
class CUsbInterface {
public:
    explicit CUsbInterface(const LinkPlatform& platform);
    virtual ~CUsbInterface();

    CUsbInterface(const CUsbInterface&) = delete;
    CUsbInterface& operator=(const CUsbInterface&) = delete;

    // Opens the first present interface of the class that can be opened (devicePath null),
    // or only the one whose path equals devicePath byte for byte; records the path opened.
    virtual bool Open(const Guid* interfaceClass, int slot, const char* devicePath);
    virtual void Close();
    // Sends the whole buffer; the count written, 0 on failure.
    virtual uint32_t Write(const void* buffer, uint32_t length);
    // Reads what arrived, up to `length` bytes. With bWait false it gives up after ten empty
    // passes of about 1.1 s each; with bWait true after ReplySilenceBound() without a byte,
    // and from then on the link counts the handset as silent (below).
    virtual uint32_t Read(void* buffer, uint32_t length, bool bWait);
    uint32_t Read(void* buffer, uint32_t length) { return Read(buffer, length, true); }
    virtual bool IsOpened() const { return m_bOpened.load(); }
    // True once a blocking read ran out of its silence bound: every later blocking read
    // returns 0 at once, so a run ends at its next reply instead of waiting again. Opening
    // the link clears it.
    bool ReplyTimedOut() const { return m_bReplyTimedOut.load(); }
    // A command the handset legitimately works on for long (a NAND format, an erase) has its
    // reply awaited this long instead of kReplySilenceBound; the owner sets it back after.
    void SetReplySilenceBound(Clock::Duration bound) { m_replySilenceBoundMs = bound.count(); }
    Clock::Duration ReplySilenceBound() const {
        return Clock::Duration(m_replySilenceBoundMs.load());
    }
    // The bound that ran out when ReplyTimedOut became true.
    Clock::Duration SilenceThatTimedOut() const {
        return Clock::Duration(m_silenceThatTimedOutMs.load());
    }

    // The path of the device this link opened last (m_szDevicePath).
    std::string DevicePath() const;
    // Every byte this link has written since it was made, over all its sessions.
    uint64_t BytesWritten() const { return m_bytesWritten.load(std::memory_order_relaxed); }

protected:
    // One enumerated interface: true when it was opened and is now held by the link.
    virtual bool OpenInterface(const std::string& interfacePath, const char* devicePath);
    // Releases the device; may run while another thread is inside Read or Write.
    virtual void ReleaseDevice();

    // True when this interface is the one to open; records its path.
    bool AcceptPath(const std::string& interfacePath, const char* devicePath);
    void MarkReplyTimedOut() {
        m_silenceThatTimedOutMs = m_replySilenceBoundMs.load();
        m_bReplyTimedOut = true;
    }
    uint32_t CountWritten(uint32_t count) {
        m_bytesWritten.fetch_add(count, std::memory_order_relaxed);
        return count;
    }

    LinkPlatform m_platform;

private:
    std::shared_ptr<SerialChannel> Channel() const;
    // One pass of a read that does not wait for a reply, in real time.
    std::chrono::nanoseconds NoWaitPass() const;

    mutable std::mutex m_handleMutex;  // guards the handle swap and the path, not the I/O
    std::shared_ptr<SerialChannel> m_hDevice;
    std::string m_szDevicePath;
    std::atomic<bool> m_bOpened{false};
    std::atomic<bool> m_bReplyTimedOut{false};
    std::atomic<Clock::Duration::rep> m_replySilenceBoundMs{kReplySilenceBound.count()};
    std::atomic<Clock::Duration::rep> m_silenceThatTimedOutMs{kReplySilenceBound.count()};
    std::atomic<uint64_t> m_bytesWritten{0};
};

}  // namespace vantorel::link
