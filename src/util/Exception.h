#pragma once
// Root of the program's exception classes; each unit derives its own E-class from it.
// Messages name the raising class and operation, then " : " and the text.

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

#define LUMENFALL_DECLARE_EXCEPTION(Name, Base)                                   \
    class Name : public Base {                                                    \
    public:                                                                       \
        explicit Name(const std::string& message) : Base(message) {}              \
    }
