#pragma once
// A handle to one node of the loaded skin: it points at the node's body inside the file
// image and stays valid until the next successful skin load. A null handle means "no such
// node"; lookups on it return their defaults.

#include <cstdint>

namespace vistrel {

class NodeHandle {
public:
    NodeHandle() = default;
    explicit NodeHandle(const uint8_t* body) : m_body(body) {}

    const uint8_t* body() const { return m_body; }
    explicit operator bool() const { return m_body != nullptr; }
    friend bool operator==(NodeHandle, NodeHandle) = default;

private:
    const uint8_t* m_body = nullptr;
};

}  // namespace vistrel
