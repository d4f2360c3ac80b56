#pragma once

#include <QString>
#include <exception>
#include <string>

namespace corvanta::backend {

// Every failure of a backend call: the client's own errors (APIError) and the transport's
// (TransportError). Pages show the localised description; log lines end in " error=" + it.
class BackendError : public std::exception {
public:
    virtual QString localizedDescription() const = 0;
    const char* what() const noexcept override;

protected:
    // what() must stay valid while the error lives; filled by the subclasses' constructors.
    void setWhat(const QString& text) { what_ = text.toStdString(); }

private:
    std::string what_;
};

}  // namespace corvanta::backend
