#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace tramela::test {

// Sets or unsets (nullptr) an environment variable for one test and puts the old value back.
class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const char* value)
        : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        set(value);
    }

    ~EnvironmentVariable() { set(m_old ? m_old->c_str() : nullptr); }

    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

    void set(const char* value) {
        if (value != nullptr) {
            ::setenv(m_name, value, 1);
        } else {
            ::unsetenv(m_name);
        }
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

} // namespace tramela::test
