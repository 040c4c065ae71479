#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// A file could not be read, created or written.
class IoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A text is not a well-formed XML document, or an element's text was asked of
// an element that holds elements.
class XmlError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An HTTP request failed: no connection, an error status, a time-out, a
// transfer that broke off, or headers or a body past their limits.
class HttpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The running worker was asked to stop.
class Interrupted : public std::runtime_error {
public:
    Interrupted() : std::runtime_error("interrupted") {}
};

} // namespace platform
