#include "shell/idle_probes.h"

#include <algorithm>

namespace vistrel {

IdleProbes& IdleProbes::global() {
    static IdleProbes probes;
    return probes;
}

int IdleProbes::add(Probe probe) {
    std::scoped_lock lock(m_mutex);
    m_probes.push_back({m_next, std::move(probe)});
    return m_next++;
}

void IdleProbes::remove(int id) {
    std::scoped_lock lock(m_mutex);
    std::erase_if(m_probes, [id](const Entry& entry) { return entry.id == id; });
}

bool IdleProbes::all_idle() const {
    // Held while the probes answer, so that none is removed (and its owner gone) meanwhile.
    std::scoped_lock lock(m_mutex);
    return std::all_of(m_probes.begin(), m_probes.end(),
                       [](const Entry& entry) { return !entry.probe || entry.probe(); });
}

}  // namespace vistrel
