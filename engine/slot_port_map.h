#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vantorel::engine {

inline constexpr int kPortMapSlots = 8;

// The port location of a device path: the USB port part of it ("1-2.3" of
// usb#vid_1209&pid_0001#1-2.3#{...}; a hub's ports nest, "1-2.3.1"), in the kernel's
// spelling. nullopt for a path that names no USB port, such as a tty's path.
std::optional<std::string> PortLocationOf(std::string_view devicePath);

// Which USB port each slot of a fixture is bound to, so that socket N is always slot N
// whatever order the handsets arrive in. A port is bound to one slot at most.
class SlotPortMap {
public:
    // The slot bound to `port`; nullopt when none is.
    std::optional<int> SlotOf(std::string_view port) const;
    // The port `slot` is bound to; empty when it is bound to none.
    const std::string& PortOf(int slot) const { return m_ports[static_cast<size_t>(slot)]; }
    // False, changing nothing, for a slot out of range, a text that is no port location or a
    // port bound to another slot already. The port is kept in the kernel's spelling.
    bool Bind(int slot, std::string_view port);
    void Clear() { m_ports = {}; }
    int BoundCount() const;
    bool IsEmpty() const { return BoundCount() == 0; }

    friend bool operator==(const SlotPortMap&, const SlotPortMap&) = default;

private:
    std::array<std::string, kPortMapSlots> m_ports;
};

// The map as text: one "slot=port" line per bound slot, slots counted from 1, e.g.
// "1=1-2.1\n2=1-2.2\n".
std::string FormatPortMap(const SlotPortMap& map);

// Reads what FormatPortMap writes, and the short forms an operator types: entries may be
// separated by new lines, commas or spaces ("1=1-4,2=1-3"), and '#' starts a comment that
// runs to the end of its line. False, with the entry at fault named in `error`, on a slot
// outside 1..8, a port that is no port location, a slot given twice or a port given twice.
bool ParsePortMap(std::string_view text, SlotPortMap& map, std::string& error);

// A map the operator hands over to be used (inline or in a file): as ParsePortMap, and also
// false when it binds no slot at all, which is a mistake rather than a choice.
bool ParseUsablePortMap(std::string_view text, SlotPortMap& map, std::string& error);
// The same from a file, read only when it is a regular file of at most kPortMapFileBytes (a
// FIFO or a device is refused, never waited on or swallowed).
inline constexpr size_t kPortMapFileBytes = 64 * 1024;
bool ReadPortMapFile(const std::string& path, SlotPortMap& map, std::string& error);

// Why an arriving handset gets no slot when slots follow ports.
enum class PortRefusal {
    None,
    NoPort,    // its path names no USB port
    Unbound,   // no slot is bound to its port
    SlotBusy,  // its port's slot holds a handset already
};

struct PortSlotChoice {
    int slot = -1;  // the port's slot (busy when refused so); -1 when no slot is bound
    std::string port;
    PortRefusal refusal = PortRefusal::None;
};

// The slot a handset arriving with `devicePath` attaches to when slots follow ports: the one
// bound to its port, provided that slot is free.
PortSlotChoice ChooseSlotByPort(const SlotPortMap& map, std::string_view devicePath,
                                const std::array<bool, kPortMapSlots>& slotFree);

// Teaching a fixture's sockets: the operator plugs a handset into each socket in slot order,
// and every arrival binds the next slot to its port. Learning starts from an empty map and
// ends by itself once every slot is bound.
class PortLearning {
public:
    enum class Step {
        Bound,         // `slot` is now bound to `port`
        AlreadyBound,  // `port` was bound to `slot` earlier in this round: nothing changed
        NoPort,        // the arrival names no USB port: nothing changed
    };
    struct Outcome {
        Step step;
        int slot = -1;
        std::string port;
    };

    void Start(SlotPortMap& map);
    void Stop() { m_nextSlot = -1; }
    bool IsActive() const { return m_nextSlot >= 0; }
    // The slot the next arrival binds; -1 when not learning.
    int NextSlot() const { return m_nextSlot; }
    // Only while active.
    Outcome Learn(SlotPortMap& map, std::string_view devicePath);

private:
    int m_nextSlot = -1;
};

}  // namespace vantorel::engine
