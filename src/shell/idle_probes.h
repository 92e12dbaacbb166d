#pragma once
// Questions "is your background work done?" asked by the script step `settle`: the photo
// library, every tile worker. Whoever runs such work registers a probe for its lifetime.
// Screens made on the splash's builder thread register theirs while the interface thread
// asks, so the list is guarded; a probe is never called after its removal returns.

#include <functional>
#include <mutex>
#include <vector>

namespace vistrel {

class IdleProbes {
public:
    using Probe = std::function<bool()>;

    // The probes of the program.
    static IdleProbes& global();

    // Returns a number to remove the probe with.
    int add(Probe probe);
    void remove(int id);
    // True when every probe says idle (also with no probes at all).
    bool all_idle() const;

private:
    struct Entry {
        int id;
        Probe probe;
    };
    mutable std::mutex m_mutex;
    std::vector<Entry> m_probes;
    int m_next = 1;
};

// Registers a probe with the global list for the life of the scope.
class IdleProbeScope {
public:
    explicit IdleProbeScope(IdleProbes::Probe probe)
        : m_id(IdleProbes::global().add(std::move(probe))) {}
    ~IdleProbeScope() { IdleProbes::global().remove(m_id); }
    IdleProbeScope(const IdleProbeScope&) = delete;
    IdleProbeScope& operator=(const IdleProbeScope&) = delete;

private:
    int m_id;
};

}  // namespace vistrel
