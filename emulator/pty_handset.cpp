#include "emulator/pty_handset.h"

#include <utility>

#include "emulator/pty_session.h"

namespace vantorel::emulator {

namespace {

class PtyPort final : public HandsetPort {
public:
    explicit PtyPort(std::filesystem::path linkPath) : m_linkPath(std::move(linkPath)) {}

    std::shared_ptr<PluggedSession> Plug(std::stop_token sessionStop) override {
        return PtySession::Open(m_linkPath, sessionStop);
    }
    std::string Name() const override { return m_linkPath.string(); }

private:
    const std::filesystem::path m_linkPath;
};

}  // namespace

PtyHandset::PtyHandset(std::filesystem::path linkPath, const Clock& clock, HandsetConfig config,
                       HandsetFaults faults)
    : HandsetRunner(std::make_unique<PtyPort>(linkPath), std::move(config), std::move(faults),
                    clock),
      m_linkPath(std::move(linkPath)) {}

}  // namespace vantorel::emulator
