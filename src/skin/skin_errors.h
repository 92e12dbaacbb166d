#pragma once
// The skin errors. They are thrown by value and propagate out of element creation and
// the screens' skin reloads to whoever can fall back (another skin, or a report and exit).

#include <exception>
#include <string>

namespace dovado {

// Common base, so that one handler can catch and report any of the four.
class SkinError : public std::exception {
public:
    const char* what() const noexcept override { return m_message.c_str(); }

protected:
    explicit SkinError(std::string message) : m_message(std::move(message)) {}

private:
    std::string m_message;  // UTF-8, for reports
};

// A screen reloads itself and the skin has no top-level node of its name.
class NodeNotFoundInSkin : public SkinError {
public:
    explicit NodeNotFoundInSkin(std::u16string name);
    const std::u16string& name() const { return m_name; }

private:
    std::u16string m_name;
};

// A required element of a screen is missing from its tree.
class NodeNotFound : public SkinError {
public:
    NodeNotFound(std::u16string searched_in, std::u16string searched_for);
    const std::u16string& searched_in() const { return m_searched_in; }
    const std::u16string& searched_for() const { return m_searched_for; }

private:
    std::u16string m_searched_in;
    std::u16string m_searched_for;
};

// A node's "type" names no registered element kind.
class NodeNotRegistered : public SkinError {
public:
    explicit NodeNotRegistered(std::u16string type);
    const std::u16string& type() const { return m_type; }

private:
    std::u16string m_type;
};

// An element kind is registered under a name already present.
class NodeAlreadyRegistered : public SkinError {
public:
    explicit NodeAlreadyRegistered(std::u16string type);
    const std::u16string& type() const { return m_type; }

private:
    std::u16string m_type;
};

}  // namespace dovado
