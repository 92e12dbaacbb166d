#include "shell/idle_probes.h"

#include <algorithm>

namespace vistrel {

IdleProbes& IdleProbes::global() {
    static IdleProbes probes;
    return probes;
}

int IdleProbes::add(Probe probe) {
    m_probes.push_back({m_next, std::move(probe)});
    return m_next++;
}

void IdleProbes::remove(int id) {
    std::erase_if(m_probes, [id](const Entry& entry) { return entry.id == id; });
}

bool IdleProbes::all_idle() const {
    return std::all_of(m_probes.begin(), m_probes.end(),
                       [](const Entry& entry) { return !entry.probe || entry.probe(); });
}

}  // namespace vistrel
